#pragma once
#include <QLabel>

// A one-line label that never widens its parent: a text too long for the
// room it gets ends in "…" and shows whole as its tooltip. text() stays the
// whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    bool isElided() const;
    void setText(const QString &text)
    {
        QLabel::setText(text);
        updateTip();
    }

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void updateTip();
};
