#include "TankPicture.h"

#include <QFontMetricsF>
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

bool lies(TankPicture::Shape s)
{
    return s == TankPicture::Shape::Lying || s == TankPicture::Shape::Oval ||
           s == TankPicture::Shape::Cistern;
}

// The filled part of the volume at a liquid height h (0..1), by cross-section.
double volumeAt(TankPicture::Shape s, double h)
{
    const double pi = 3.14159265358979323846;
    switch (s) {
    case TankPicture::Shape::Lying:
    case TankPicture::Shape::Oval: { // circle (or ellipse) lying: the segment below h
        const double t = 2 * std::acos(1 - 2 * h);
        return (t - std::sin(t)) / (2 * pi);
    }
    case TankPicture::Shape::Sphere:
        return h * h * (3 - 2 * h);
    case TankPicture::Shape::Cistern: { // lower half of a circle of radius 1, depth h
        const double d = 1 - h;         // from the centre down to the surface
        const double above = d * std::sqrt(1 - d * d) + std::asin(d); // the dry part of the half circle
        return 1 - above / (pi / 2);
    }
    default:
        return h;
    }
}
} // namespace

double TankPicture::LevelHeight(Shape shape, double f)
{
    if (!(f > 0))
        return 0;
    if (f >= 1)
        return f; // full, or over-full: the overview lets it rise past the outline
    double lo = 0, hi = 1;
    for (int i = 0; i < 40; ++i) {
        const double mid = (lo + hi) / 2;
        (volumeAt(shape, mid) < f ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

void TankPicture::setShape(Shape shape)
{
    if (shape_ == shape)
        return;
    shape_ = shape;
    update();
}

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

void TankPicture::setNoLevel(const QColor &colour, const QString &sign)
{
    if (colour == noLevelColour_ && sign == noLevelSign_)
        return;
    noLevelColour_ = colour;
    noLevelSign_ = sign;
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
    const bool detail = style_ == Style::Detail;
    // Scale on the left of the detail picture, feet below, room above the
    // overview picture for an over-full reading.
    const double left = detail ? r.left() + 48 : r.left() + 2;
    const double availW = detail ? r.width() - 48 - 10 : r.width() - 4;
    const double top = detail ? r.top() + 10 : r.top() + r.height() * kOverflowRoom;
    const double availH = r.bottom() - (detail ? 12 : 5) - top;
    // Width to height of each shape.
    double aspect = detail ? 0.62 : 0.72;
    if (lies(shape_))
        aspect = shape_ == Shape::Cistern ? 2.4 : 2.0;
    else if (shape_ == Shape::Sphere)
        aspect = 1.0;
    else if (shape_ == Shape::Battery)
        aspect = 1.05;
    double w = std::min(availW, availH * aspect);
    double h = std::min(availH, w / aspect);
    // Lying tanks rest on their saddles at the bottom; standing ones fill the height.
    return QRectF(left + (availW - w) / 2, top + availH - h, w, h);
}

QPainterPath TankPicture::shellPath(const QRectF &body) const
{
    QPainterPath shell;
    switch (shape_) {
    case Shape::Lying: // dished ends left and right
        shell.addRoundedRect(body, body.height() * 0.3, body.height() * 0.5);
        break;
    case Shape::Oval:
        shell.addRoundedRect(body, body.height() * 0.5, body.height() * 0.5);
        break;
    case Shape::Sphere:
        shell.addEllipse(body);
        break;
    case Shape::Cistern: // flat top, half-round below
        shell.moveTo(body.topLeft());
        shell.lineTo(body.topRight());
        shell.arcTo(QRectF(body.left(), body.top() - body.height(), body.width(), 2 * body.height()), 0,
                    -180);
        shell.closeSubpath();
        break;
    case Shape::Battery: { // three tanks side by side, joined
        const double gap = body.width() * 0.05;
        const double w = (body.width() - 2 * gap) / 3;
        for (int i = 0; i < 3; ++i) {
            QPainterPath one;
            one.addRoundedRect(QRectF(body.left() + i * (w + gap), body.top(), w, body.height()), w * 0.3,
                               w * 0.3);
            shell = shell.united(one);
        }
        break;
    }
    case Shape::Standing:
        shell.addRoundedRect(body, body.width() * 0.5, body.width() * 0.16);
        break;
    }
    return shell;
}

void TankPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = bodyRect();
    if (body.width() < 8 || body.height() < 16)
        return;
    const bool detail = style_ == Style::Detail;
    const double ry = std::min(body.width(), body.height()) * 0.16;
    const QPainterPath shell = shellPath(body);
    const bool lying = lies(shape_);
    // Light falls from the side on a standing tank, from above on a lying one.
    const QPointF g0 = body.topLeft(), g1 = lying ? body.bottomLeft() : body.topRight();

    // Feet.
    const QColor dark(0x4a, 0x55, 0x61);
    const double footH = detail ? 12 : 5;
    const double footW = body.width() * 0.14;
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    for (double fx : {body.left() + body.width() * 0.16, body.right() - body.width() * 0.16 - footW})
        p.drawRoundedRect(QRectF(fx, body.bottom() - ry * 0.5, footW, footH + ry * 0.5), 2, 2);

    // Empty interior: brushed steel across the width.
    QLinearGradient steel(g0, g1);
    steel.setColorAt(0.0, QColor(0x9a, 0xa6, 0xb2));
    steel.setColorAt(0.28, QColor(0xf1, 0xf4, 0xf7));
    steel.setColorAt(0.55, QColor(0xd2, 0xd9, 0xe0));
    steel.setColorAt(1.0, QColor(0x86, 0x92, 0x9e));
    p.setBrush(steel);
    p.drawPath(shell);

    // Liquid from the bottom up to the level.
    // The liquid's height for its part of the volume.
    const double f = LevelHeight(shape_, liquidVisible_ && !noLevel() ? shown_ : 0.0);
    if (noLevel()) {
        p.setBrush(QBrush(noLevelColour_, Qt::BDiagPattern));
        p.drawPath(shell);
    }
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
        QLinearGradient liquid(g0, g1);
        liquid.setColorAt(0.0, QColor(0x12, 0x4f, 0x8c));
        liquid.setColorAt(0.32, QColor(0x3d, 0x9b, 0xe9));
        liquid.setColorAt(0.6, QColor(0x26, 0x79, 0xc6));
        liquid.setColorAt(1.0, QColor(0x0f, 0x43, 0x78));
        p.setBrush(liquid);
        p.drawRect(QRectF(body.left() - 1, top, body.width() + 2, body.bottom() - top + 1));
        // Surface seen slightly from above.
        if (f < 0.999 || !detail) {
            // Seen from the side, a lying tank's surface is a line.
            const double eh = lying ? 2.0 : std::max(3.0, body.width() * 0.12);
            QLinearGradient surf(g0, g1);
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
        if (lying) { // the rings of a lying tank stand upright
            const double x = body.left() + body.width() * s;
            p.drawLine(QPointF(x, body.top()), QPointF(x, body.bottom()));
        } else if (shape_ != Shape::Sphere && shape_ != Shape::Battery) {
            const double y = body.top() + body.height() * s;
            p.drawLine(QPointF(body.left(), y), QPointF(body.right(), y));
        }
    }
    QLinearGradient sheen(g0, g1);
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

    if (noLevel() && !noLevelSign_.isEmpty()) {
        QFont big = font();
        big.setPixelSize(std::max(10, int(std::min(body.width(), body.height()) * 0.42)));
        big.setBold(true);
        p.setFont(big);
        const double cy = body.top() + body.height() * (detail ? 0.7 : 0.5); // the detail's text stands above
        const QRectF at(body.left(), cy - body.height() / 2, body.width(), body.height());
        // A white halo keeps the sign clear of the hatching.
        QPainterPath sign;
        const QFontMetricsF fm(big);
        const QRectF ink = fm.boundingRect(noLevelSign_);
        sign.addText(at.center().x() - ink.width() / 2 - ink.left(), cy - ink.top() - ink.height() / 2, big,
                     noLevelSign_);
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(sign);
        p.setPen(Qt::NoPen);
        p.setBrush(noLevelColour_);
        p.drawPath(sign);
        p.setFont(font());
    }

    if (!detail)
        return;
    // Level scale left of the tank.
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    p.setPen(QPen(QColor(0x6b, 0x75, 0x80), 1));
    const double sx = body.left() - 8;
    p.drawLine(QPointF(sx, body.top()), QPointF(sx, body.bottom()));
    // The marks stand at the heights of those parts of the volume.
    for (int pct = 0; pct <= 100; pct += 25) {
        const double y = body.bottom() - body.height() * LevelHeight(shape_, pct / 100.0);
        p.drawLine(QPointF(sx - 5, y), QPointF(sx, y));
        p.drawText(QRectF(0, y - 8, sx - 7, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(pct) + QLatin1Char('%'));
    }
    for (int pct = 5; pct < 100; pct += 5) {
        if (pct % 25 == 0)
            continue;
        const double y = body.bottom() - body.height() * LevelHeight(shape_, pct / 100.0);
        p.drawLine(QPointF(sx - 2.5, y), QPointF(sx, y));
    }

    // A device that reports a fault has no level: say so over the empty tank.
    if (!noValue_.isEmpty()) {
        QFont font = p.font();
        font.setWeight(QFont::DemiBold);
        p.setFont(font);
        // In the upper part of the tank: the sign of the state stands below.
        const QRectF box(rect().left() + 6, body.top(), rect().width() - 12, body.height() * 0.6);
        const QRectF text =
            p.boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, noValue_).adjusted(-6, -3, 6, 3);
        p.setPen(QColor(0xe5, 0x73, 0x73));
        p.setBrush(QColor(0xfd, 0xec, 0xea));
        p.drawRoundedRect(text, 5, 5);
        p.setPen(QColor(0xb7, 0x1c, 0x1c));
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, noValue_);
    }
}
