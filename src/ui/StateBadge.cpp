#include "StateBadge.h"

#include "lang/Lng.h"

#include <QLabel>

namespace StateLook
{
QColor Text(TankCondition c)
{
    switch (c) {
    case TankCondition::Ok:
        return QColor(0x2e, 0x7d, 0x32);
    case TankCondition::Low:
        return QColor(0x8a, 0x4b, 0x00);
    case TankCondition::Silent:
        return QColor(0x37, 0x47, 0x4f);
    case TankCondition::VeryLow:
    case TankCondition::Fault:
    case TankCondition::Alarm:
        return QColor(0xb7, 0x1c, 0x1c);
    }
    return {};
}

QColor Background(TankCondition c)
{
    switch (c) {
    case TankCondition::Ok:
        return QColor(0xe8, 0xf5, 0xe9);
    case TankCondition::Low:
        return QColor(0xff, 0xe0, 0x82);
    case TankCondition::Silent:
        return QColor(0xcf, 0xd8, 0xdc);
    case TankCondition::VeryLow:
    case TankCondition::Fault:
        return QColor(0xff, 0xcd, 0xd2);
    case TankCondition::Alarm:
        return QColor(0xef, 0x9a, 0x9a);
    }
    return {};
}

void ShowBadge(QLabel *badge, const TankStatus &s, const Texts &t)
{
    badge->setVisible(s.condition != TankCondition::Ok);
    if (s.condition == TankCondition::Ok)
        return;
    badge->setText(TankStateWords(s, t));
    badge->setToolTip(TankStateNote(s, t));
    badge->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 1px 6px;"
                       " font-weight: 600; }")
            .arg(Text(s.condition).name(), Background(s.condition).name()));
}
} // namespace StateLook
