#include "BrandLogo.h"

#include <QPainter>
#include <QPainterPath>

BrandLogo::BrandLogo(const QString &initials, const QColor &colour, QWidget *parent)
    : QWidget(parent), initials_(initials), colour_(colour)
{
    setFixedSize(sizeHint());
}

QPixmap BrandLogo::pixmap(int size) const
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(p, QRectF(0, 0, size, size));
    return pm;
}

void BrandLogo::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paint(p, QRectF(rect()));
}

void BrandLogo::paint(QPainter &p, const QRectF &r) const
{
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = r.adjusted(1, 1, -1, -1);
    QLinearGradient g(box.topLeft(), box.bottomRight());
    g.setColorAt(0, colour_.lighter(125));
    g.setColorAt(1, colour_.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(box, box.width() * 0.22, box.width() * 0.22);

    // A wave across the lower third: the level.
    QPainterPath wave;
    const double y = box.top() + box.height() * 0.64;
    wave.moveTo(box.left(), y);
    wave.cubicTo(box.left() + box.width() * 0.3, y - box.height() * 0.12, box.left() + box.width() * 0.6,
                 y + box.height() * 0.12, box.right(), y);
    wave.lineTo(box.right(), box.bottom());
    wave.lineTo(box.left(), box.bottom());
    wave.closeSubpath();
    QPainterPath clip;
    clip.addRoundedRect(box, box.width() * 0.22, box.width() * 0.22);
    p.save();
    p.setClipPath(clip);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawPath(wave);
    p.restore();

    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(box.height() * (initials_.size() > 2 ? 0.3 : 0.4)));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(box.adjusted(0, 0, 0, -box.height() * 0.18), Qt::AlignCenter, initials_);
}
