#include "UiLook.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace UiLook
{

QColor Accent()
{
    return QColor(0x1f, 0x6f, 0xb8);
}

void ApplyApplicationLook(QApplication &app)
{
    if (app.property("tankmonLook").toBool())
        return;
    app.setProperty("tankmonLook", true);
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    QPalette pal = app.style()->standardPalette();
    pal.setColor(QPalette::Window, QColor(0xf3, 0xf5, 0xf8));
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xf7, 0xf9, 0xfb));
    pal.setColor(QPalette::Button, QColor(0xfa, 0xfb, 0xfc));
    pal.setColor(QPalette::Highlight, Accent());
    pal.setColor(QPalette::Link, Accent());
    pal.setColor(QPalette::WindowText, QColor(0x1d, 0x25, 0x2e));
    pal.setColor(QPalette::Text, QColor(0x1d, 0x25, 0x2e));
    pal.setColor(QPalette::ButtonText, QColor(0x1d, 0x25, 0x2e));
    // Disabled controls (a locked dialog) must look disabled.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, QColor(0x9a, 0xa3, 0xad));
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf3, 0xf5, 0xf8));
    pal.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xc9, 0xd4, 0xe0));
    app.setPalette(pal);
    QFont f = app.font();
    if (f.pointSizeF() < 10)
        f.setPointSizeF(10);
    app.setFont(f);
}

void SetRole(QLabel *label, Role role)
{
    QFont f = QApplication::font();
    const double base = f.pointSizeF() > 0 ? f.pointSizeF() : 10;
    label->setStyleSheet(QString());
    switch (role) {
    case Role::Plain:
        break;
    case Role::BigValue:
        f.setPointSizeF(base * 2.4);
        f.setWeight(QFont::DemiBold);
        break;
    case Role::Percent:
        f.setPointSizeF(base * 1.25);
        break;
    case Role::FieldName:
        break;
    case Role::FieldValue:
        f.setWeight(QFont::DemiBold);
        break;
    case Role::EntryName:
        f.setWeight(QFont::DemiBold);
        f.setPointSizeF(base * 1.05);
        break;
    case Role::EntryValue:
        f.setPointSizeF(base * 1.3);
        f.setWeight(QFont::DemiBold);
        break;
    case Role::EntryNotice:
        f.setPointSizeF(base * 1.05);
        f.setWeight(QFont::Bold);
        break;
    case Role::DetailName:
        f.setPointSizeF(base * 1.3);
        f.setWeight(QFont::DemiBold);
        break;
    case Role::Fault:
        f.setPointSizeF(base * 1.2);
        f.setWeight(QFont::Bold);
        label->setStyleSheet(QStringLiteral(
            "background:#fdecea; color:#b71c1c; border:1px solid #e57373; border-radius:6px; padding:4px;"));
        break;
    case Role::EntryPercent:
        f.setPointSizeF(base * 1.1);
        break;
    case Role::Small:
        f.setPointSizeF(base * 0.9);
        break;
    case Role::AlarmBadge:
        f.setWeight(QFont::Bold);
        label->setStyleSheet(
            QStringLiteral("background:#d32f2f; color:white; border-radius:4px; padding:2px 10px;"));
        break;
    case Role::Link:
        label->setStyleSheet(QStringLiteral("color:%1;").arg(Accent().name()));
        break;
    }
    label->setFont(f);
}

void SetTextColour(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
    w->setPalette(pal);
}

QColor TextColour(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

} // namespace UiLook
