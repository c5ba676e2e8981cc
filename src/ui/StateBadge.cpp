#include "StateBadge.h"

#include "lang/Lng.h"

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace StateLook
{
QColor Colour(TankCondition c)
{
    return QColor(QLatin1String(LookOf(c).colour));
}

QColor Ink(TankCondition c)
{
    return QColor(QLatin1String(LookOf(c).ink));
}

QColor Tint(TankCondition c)
{
    // Two parts white to one of the colour: dark text stays readable on it.
    const QColor k = Colour(c);
    return QColor((k.red() + 2 * 255) / 3, (k.green() + 2 * 255) / 3, (k.blue() + 2 * 255) / 3);
}

QString BadgeText(const TankStatus &s, const Texts &t)
{
    return LookOf(s.condition).sign + QLatin1Char(' ') + TankStateWords(s, t);
}

QString BadgeStyle(TankCondition c)
{
    return QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 1px 6px;"
                          " font-weight: 600; }")
        .arg(Ink(c).name(), Colour(c).name());
}

QIcon Mark(TankCondition c, int size)
{
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(Qt::white, 1));
    g.setBrush(Colour(c));
    g.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    QFont f = g.font();
    f.setPixelSize(std::max(6, size * 2 / 3));
    f.setBold(true);
    g.setFont(f);
    g.setPen(Ink(c));
    g.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, LookOf(c).sign);
    return QIcon(p);
}

void ShowBadge(QLabel *badge, const TankStatus &s, const Texts &t)
{
    badge->setVisible(s.condition != TankCondition::Ok);
    if (s.condition == TankCondition::Ok)
        return;
    badge->setText(BadgeText(s, t));
    badge->setToolTip(TankStateNote(s, t));
    badge->setStyleSheet(BadgeStyle(s.condition));
}
} // namespace StateLook
