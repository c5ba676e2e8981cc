#pragma once
#include <QLabel>

// A permanent status-bar indicator: a short text in its colour, a tool tip
// that says more and where a click leads, and the click.
class StatusIndicator : public QLabel
{
    Q_OBJECT
public:
    explicit StatusIndicator(const char *name, QWidget *parent = nullptr);
    // warn: the text in red.
    void show(const QString &text, const QString &tip, bool warn);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *e) override;
};
