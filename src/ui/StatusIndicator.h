#pragma once
#include <QLabel>

// A permanent status-bar indicator: a short text in its colour, a tool tip
// that says more and where a click leads, and the click. A narrow window
// shortens the text of a shortenable one ("…"); the tool tip then begins
// with all of it.
class StatusIndicator : public QLabel
{
    Q_OBJECT
public:
    explicit StatusIndicator(const char *name, QWidget *parent = nullptr);
    // warn: the text in red.
    void show(const QString &text, const QString &tip, bool warn);
    // Off: the indicator keeps its whole text while the others give way.
    void setShortenable(bool on);
    // The whole text, however much of it is shown.
    QString fullText() const { return full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    // The text as much of it fits, and the tool tip to go with it.
    void fit();

    QString full_;
    QString tip_;
    bool shortenable_ = true;
};
