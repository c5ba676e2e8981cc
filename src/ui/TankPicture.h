#pragma once
#include <QWidget>

class QVariantAnimation;

// A standing steel tank with its liquid. The level glides to a new value
// instead of jumping, so a refresh reads as a change of level.
//   Detail: large picture with a level scale; fractions above 1 fill it.
//   Overview: small picture; a fraction above 1 rises beyond the outline
//   (an over-full reading is meant to look wrong).
class TankPicture : public QWidget
{
    Q_OBJECT
public:
    enum class Style { Detail, Overview };
    explicit TankPicture(Style style, QWidget *parent = nullptr);

    // The fraction the liquid moves to (the detail style caps it at 1).
    void setLevel(double fraction);
    double level() const { return target_; }
    // Hides or shows the liquid (an overview entry without a valid reading).
    void setLiquidVisible(bool on);
    bool liquidVisible() const { return liquidVisible_; }
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

    Style style_;
    double target_ = 0;
    double shown_ = 0;
    bool liquidVisible_ = true;
    QString noValue_;
    QVariantAnimation *glide_;
};
