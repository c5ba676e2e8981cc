#pragma once
#include <QWidget>

// The maker's or the partner's logo: a small tank mark with the company
// initials, drawn rather than loaded so it stays sharp at any scale.
class BrandLogo : public QWidget
{
    Q_OBJECT
public:
    BrandLogo(const QString &initials, const QColor &colour, QWidget *parent = nullptr);
    QSize sizeHint() const override { return QSize(44, 44); }
    // The mark as a pixmap (window icon).
    QPixmap pixmap(int size) const;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void paint(QPainter &p, const QRectF &r) const;
    QString initials_;
    QColor colour_;
};
