#include "TankPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace
{
constexpr int kGlideMs = 450;
// Room above the overview tank for an over-full reading.
constexpr double kOverflowRoom = 0.16;
} // namespace

TankPicture::TankPicture(Style style, QWidget *parent)
    : QWidget(parent), style_(style), glide_(new QVariantAnimation(this))
{
    if (style_ == Style::Detail)
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    else
        setFixedSize(sizeHint());
    glide_->setDuration(kGlideMs);
    glide_->setEasingCurve(QEasingCurve::InOutCubic);
    connect(glide_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        shown_ = v.toDouble();
        update();
    });
}

void TankPicture::setLevel(double fraction)
{
    if (!std::isfinite(fraction) || fraction < 0)
        fraction = 0;
    if (style_ == Style::Detail)
        fraction = std::min(fraction, 1.0);
    // Same level as drawn: nothing to move (keeps a refresh from flickering).
    if (std::abs(fraction - target_) < 1e-6)
        return;
    target_ = fraction;
    glide_->stop();
    if (!isVisible()) {
        shown_ = fraction;
        update();
        return;
    }
    glide_->setStartValue(shown_);
    glide_->setEndValue(fraction);
    glide_->start();
}

void TankPicture::setLiquidVisible(bool on)
{
    if (liquidVisible_ == on)
        return;
    liquidVisible_ = on;
    update();
}

void TankPicture::setNoValueText(const QString &text)
{
    if (text == noValue_)
        return;
    noValue_ = text;
    update();
}

QSize TankPicture::sizeHint() const
{
    return style_ == Style::Detail ? QSize(220, 300) : QSize(104, 150);
}

QSize TankPicture::minimumSizeHint() const
{
    return style_ == Style::Detail ? QSize(140, 150) : QSize(104, 150);
}

QRectF TankPicture::bodyRect() const
{
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (style_ == Style::Detail) {
        // Scale on the left, feet below.
        const double scaleW = 48;
        const double feet = 12;
        double h = r.height() - 10 - feet;
        double w = std::min(r.width() - scaleW - 10, h * 0.62);
        const double x = r.left() + scaleW + (r.width() - scaleW - 10 - w) / 2;
        return QRectF(x, r.top() + 10, w, h);
    }
    const double feet = 5;
    const double room = r.height() * kOverflowRoom;
    double h = r.height() - room - feet;
    double w = std::min(r.width() - 4, h * 0.72);
    return QRectF(r.left() + (r.width() - w) / 2, r.top() + room, w, h);
}

void TankPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = bodyRect();
    if (body.width() < 8 || body.height() < 16)
        return;
    const bool detail = style_ == Style::Detail;
    const double rx = body.width() * 0.5;
    const double ry = body.width() * 0.16;
    QPainterPath shell;
    shell.addRoundedRect(body, rx, ry);

    // Feet.
    const QColor dark(0x4a, 0x55, 0x61);
    const double footH = detail ? 12 : 5;
    const double footW = body.width() * 0.14;
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    for (double fx : {body.left() + body.width() * 0.16, body.right() - body.width() * 0.16 - footW})
        p.drawRoundedRect(QRectF(fx, body.bottom() - ry * 0.5, footW, footH + ry * 0.5), 2, 2);

    // Empty interior: brushed steel across the width.
    QLinearGradient steel(body.topLeft(), body.topRight());
    steel.setColorAt(0.0, QColor(0x9a, 0xa6, 0xb2));
    steel.setColorAt(0.28, QColor(0xf1, 0xf4, 0xf7));
    steel.setColorAt(0.55, QColor(0xd2, 0xd9, 0xe0));
    steel.setColorAt(1.0, QColor(0x86, 0x92, 0x9e));
    p.setBrush(steel);
    p.drawPath(shell);

    // Liquid from the bottom up to the level.
    const double f = liquidVisible_ ? shown_ : 0.0;
    if (f > 0) {
        const double top = body.bottom() - f * body.height();
        QPainterPath clip = shell;
        if (!detail && top < body.top()) {
            // Over-full: the column rises past the outline.
            QPainterPath column;
            column.addRoundedRect(QRectF(body.left() + body.width() * 0.08, top, body.width() * 0.84,
                                         body.top() - top + ry * 2),
                                  4, 4);
            clip = clip.united(column);
        }
        p.save();
        p.setClipPath(clip);
        QLinearGradient liquid(body.topLeft(), body.topRight());
        liquid.setColorAt(0.0, QColor(0x12, 0x4f, 0x8c));
        liquid.setColorAt(0.32, QColor(0x3d, 0x9b, 0xe9));
        liquid.setColorAt(0.6, QColor(0x26, 0x79, 0xc6));
        liquid.setColorAt(1.0, QColor(0x0f, 0x43, 0x78));
        p.setBrush(liquid);
        p.drawRect(QRectF(body.left() - 1, top, body.width() + 2, body.bottom() - top + 1));
        // Surface seen slightly from above.
        if (f < 0.999 || !detail) {
            const double eh = std::max(3.0, body.width() * 0.12);
            QLinearGradient surf(body.topLeft(), body.topRight());
            surf.setColorAt(0.0, QColor(0x4f, 0x9f, 0xdf));
            surf.setColorAt(0.4, QColor(0xa4, 0xd4, 0xfa));
            surf.setColorAt(1.0, QColor(0x3b, 0x86, 0xc9));
            p.setBrush(surf);
            p.drawEllipse(QRectF(body.left(), top - eh / 2, body.width(), eh));
        }
        p.restore();
    }

    // Weld seams and the sheen of the steel over everything inside.
    p.save();
    p.setClipPath(shell);
    p.setPen(QPen(QColor(0, 0, 0, 40), 1));
    for (double s : {1.0 / 3, 2.0 / 3}) {
        const double y = body.top() + body.height() * s;
        p.drawLine(QPointF(body.left(), y), QPointF(body.right(), y));
    }
    QLinearGradient sheen(body.topLeft(), body.topRight());
    sheen.setColorAt(0.0, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.18, QColor(255, 255, 255, 70));
    sheen.setColorAt(0.26, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawRect(body);
    p.restore();

    // Outline and the manhole on the roof.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(dark, detail ? 2.0 : 1.4));
    p.drawPath(shell);
    const double hatchW = body.width() * 0.26;
    const double hatchH = std::max(3.0, ry * 0.45);
    p.setBrush(dark);
    p.drawRoundedRect(QRectF(body.center().x() - hatchW / 2, body.top() - hatchH * 0.6, hatchW, hatchH), 1.5,
                      1.5);

    if (!detail)
        return;
    // Level scale left of the tank.
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    p.setPen(QPen(QColor(0x6b, 0x75, 0x80), 1));
    const double sx = body.left() - 8;
    p.drawLine(QPointF(sx, body.top()), QPointF(sx, body.bottom()));
    for (int pct = 0; pct <= 100; pct += 25) {
        const double y = body.bottom() - body.height() * pct / 100.0;
        p.drawLine(QPointF(sx - 5, y), QPointF(sx, y));
        p.drawText(QRectF(0, y - 8, sx - 7, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(pct) + QLatin1Char('%'));
    }
    for (int pct = 5; pct < 100; pct += 5) {
        if (pct % 25 == 0)
            continue;
        const double y = body.bottom() - body.height() * pct / 100.0;
        p.drawLine(QPointF(sx - 2.5, y), QPointF(sx, y));
    }

    // A device that reports a fault has no level: say so over the empty tank.
    if (!noValue_.isEmpty()) {
        QFont font = p.font();
        font.setWeight(QFont::DemiBold);
        p.setFont(font);
        const QRectF box = rect().adjusted(6, 0, -6, 0);
        const QRectF text = p.boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, noValue_).adjusted(-6, -3, 6, 3);
        p.setPen(QColor(0xe5, 0x73, 0x73));
        p.setBrush(QColor(0xfd, 0xec, 0xea));
        p.drawRoundedRect(text, 5, 5);
        p.setPen(QColor(0xb7, 0x1c, 0x1c));
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, noValue_);
    }
}
