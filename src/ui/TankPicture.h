#pragma once
#include <QPainterPath>
#include <QWidget>

class QVariantAnimation;

// A steel tank with its liquid, in the shape the device reports: standing,
// lying (a horizontal cylinder or an oval), a sphere, a half-round cistern or
// a battery of tanks. The level is the filled part of the volume; its height
// follows the shape (a lying cylinder half full shows the liquid at half its
// height, a quarter full well below a quarter). The level glides to a new
// value instead of jumping, so a refresh reads as a change of level.
//   Detail: large picture with a level scale; fractions above 1 fill it.
//   Overview: small picture; a fraction above 1 rises beyond the outline
//   (an over-full reading is meant to look wrong).
class TankPicture : public QWidget
{
    Q_OBJECT
public:
    enum class Style { Detail, Overview };
    enum class Shape { Standing, Lying, Oval, Sphere, Cistern, Battery };
    explicit TankPicture(Style style, QWidget *parent = nullptr);

    void setShape(Shape shape);
    Shape shape() const { return shape_; }
    // The height of the liquid (0..1 of the tank's) for a filled part of the
    // volume (0..1) in a shape.
    static double LevelHeight(Shape shape, double volumeFraction);

    // The fraction the liquid moves to (the detail style caps it at 1).
    void setLevel(double fraction);
    double level() const { return target_; }
    // Hides or shows the liquid (an overview entry without a valid reading).
    void setLiquidVisible(bool on);
    bool liquidVisible() const { return liquidVisible_; }
    // A tank without a level to show (a fault, a silent device): hatched in
    // the colour, the sign on it, so it never passes for an empty tank.
    // An invalid colour: the level again.
    void setNoLevel(const QColor &colour, const QString &sign);
    bool noLevel() const { return noLevelColour_.isValid(); }
    // Text over the tank in place of a level ("no valid value"); empty: none.
    void setNoValueText(const QString &text);
    QString noValueText() const { return noValue_; }
    // The fraction drawn at this moment (lags behind level() while gliding).
    double shownLevel() const { return shown_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QRectF bodyRect() const;
    QPainterPath shellPath(const QRectF &body) const;

    Style style_;
    Shape shape_ = Shape::Standing;
    double target_ = 0;
    double shown_ = 0;
    bool liquidVisible_ = true;
    QString noValue_;
    QColor noLevelColour_;
    QString noLevelSign_;
    QVariantAnimation *glide_;
};
