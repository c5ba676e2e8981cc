#include "OverviewEntry.h"

#include "DisplayRules.h"
#include "ElidedLabel.h"
#include "StateBadge.h"
#include "TankPicture.h"
#include "UiLook.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

using namespace DisplayRules;

OverviewEntry::OverviewEntry(int device, const QString &caption, const Texts &texts, QWidget *parent)
    : QGroupBox(caption, parent), texts_(texts), device_(device)
{
    setObjectName(QStringLiteral("FrameTank%1").arg(device));
    setProperty("index", device);
    // Four tiles share a tab evenly, whatever their texts.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(kMinWidth);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral(
        "OverviewEntry { background: white; border: 1px solid #d5dbe3; border-radius: 8px;"
        " margin-top: 14px; }"
        "OverviewEntry:focus { border: 2px solid #f0a400; }"
        "OverviewEntry::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 10px; padding: 0 4px; color: #5f6b78; }"
        "QLabel[notice=\"fault\"] { background: #fdecea; color: #b71c1c; border: 1px solid #e57373;"
        " border-radius: 6px; padding: 4px; }"
        "QLabel[notice=\"stale\"] { background: #fff3e0; color: #8a4b00; border: 1px solid #ffb74d;"
        " border-radius: 6px; padding: 4px; }"));

    auto label = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    // One line, whatever the name's length: the pictures of a row stay in line.
    lblTankbezeichnung = new ElidedLabel(this);
    lblTankbezeichnung->setObjectName(QStringLiteral("lblTankbezeichnung"));
    lblTankbezeichnung->setText(texts_(328));
    UiLook::SetRole(lblTankbezeichnung, UiLook::Role::EntryName);
    txbxLiter = label("txbxLiter");
    txbxLiter->setWordWrap(true);
    UiLook::SetRole(txbxLiter, UiLook::Role::EntryValue);
    lblProzent = label("lblProzent");
    UiLook::SetRole(lblProzent, UiLook::Role::EntryPercent);
    lblTemp = label("lblTemp");
    lblDate = label("lblDate");
    UiLook::SetRole(lblDate, UiLook::Role::Small);
    lblReichweite = label("lblReichweite");
    UiLook::SetRole(lblReichweite, UiLook::Role::Small);
    lblReichweite->setWordWrap(true);
    lblReichweite->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // Two lines, with or without a forecast: the tiles of a row stay in line.
    lblReichweite->setText(QStringLiteral("\n"));
    lblReichweite->setFixedHeight(lblReichweite->sizeHint().height());
    lblReichweite->clear();
    lblAlarm = label("lblAlarm");
    lblAlarm->setText(texts_(334));
    UiLook::SetRole(lblAlarm, UiLook::Role::AlarmBadge);
    lblAlarm->hide();
    lblZustand = label("lblZustand");
    UiLook::SetRole(lblZustand, UiLook::Role::Small);
    {
        // The pictures of a row stay in line, badge or none.
        QSizePolicy keep = lblZustand->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        lblZustand->setSizePolicy(keep);
    }
    lblZustand->hide();
    tank = new TankPicture(TankPicture::Style::Overview, this);
    tank->setObjectName(QStringLiteral("TankShape"));

    // A tile: the name, the tank with the alarm tag on it, the figures under it.
    auto *picture = new QGridLayout;
    picture->addWidget(tank, 0, 0, Qt::AlignHCenter);
    picture->addWidget(lblAlarm, 0, 0, Qt::AlignHCenter | Qt::AlignVCenter);
    lblAlarm->raise(); // over the tank

    auto *percentRow = new QHBoxLayout;
    percentRow->setSpacing(14);
    percentRow->addStretch(1);
    percentRow->addWidget(lblProzent);
    percentRow->addWidget(lblTemp);
    percentRow->addStretch(1);

    txbxLiter->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblDate->setAlignment(Qt::AlignHCenter);
    UiLook::SetTextColour(lblDate, DisplayRules::NormalColour());

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(14, 18, 14, 14);
    v->setSpacing(6);
    v->addWidget(lblTankbezeichnung);
    v->addWidget(lblZustand, 0, Qt::AlignLeft);
    v->addSpacing(4);
    v->addLayout(picture);
    v->addSpacing(6);
    v->addWidget(txbxLiter);
    v->addLayout(percentRow);
    v->addWidget(lblDate);
    v->addWidget(lblReichweite);
    v->addStretch(1);
}

void OverviewEntry::showDevice(const DeviceRecord &rec, bool tempKorr, const QDateTime &now)
{
    const qint64 age = ReadingAgeMinutes(rec.Uhrzeit, now);
    lblTankbezeichnung->setText(rec.Tankbezeichnung);
    tank->setShape(TankShapeOf(rec));
    txbxLiter->setText(ShownValue(CorrectedVolume(rec, tempKorr), rec, texts_));
    lblAlarm->setVisible(rec.Alarm);

    if (IsStale(age) || rec.Volumen < 0) {
        // The warning (or the error text) takes the room of the figures,
        // in a colour of its own; no figure of an earlier reading stays.
        if (IsStale(age))
            txbxLiter->setText(StaleWarningText(texts_));
        setNotice(IsStale(age) ? Notice::Stale : Notice::Fault);
        const TankCondition c = IsStale(age) ? TankCondition::Silent : TankCondition::Fault;
        tank->setNoLevel(StateLook::Colour(c), LookOf(c).sign);
        tank->setLiquidVisible(false);
        lblProzent->hide();
        lblTemp->hide();
        lblDate->hide();
    } else {
        setNotice(Notice::None);
        lblProzent->show();
        lblProzent->setText(CorrectedPercentText(rec, tempKorr));
        lblTemp->setText(TemperatureText(rec.Temperatur));
        lblDate->setText(GeneralDateTimeText(texts_, rec.Uhrzeit));
        tank->setLevel(FillFraction(rec));
        tank->setNoLevel(QColor(), QString());
        tank->setLiquidVisible(true);
        lblTemp->show();
        lblDate->show();
    }

    const QColor c = IsOld(age) ? OldColour() : NormalColour();
    for (QLabel *l : {txbxLiter, lblProzent, lblTemp, lblDate})
        UiLook::SetTextColour(l, c);
}

void OverviewEntry::showState(const TankStatus &s, const Texts &t)
{
    StateLook::ShowBadge(lblZustand, s, t);
}

void OverviewEntry::setForecastText(const QString &text)
{
    lblReichweite->setText(text);
}

void OverviewEntry::setNotice(Notice n)
{
    notice_ = n;
    UiLook::SetRole(txbxLiter, n == Notice::None ? UiLook::Role::EntryValue : UiLook::Role::EntryNotice);
    txbxLiter->setProperty("notice", n == Notice::Fault   ? QStringLiteral("fault")
                                     : n == Notice::Stale ? QStringLiteral("stale")
                                                          : QString());
    txbxLiter->style()->unpolish(txbxLiter);
    txbxLiter->style()->polish(txbxLiter);
}

void OverviewEntry::mouseReleaseEvent(QMouseEvent *e)
{
    QGroupBox::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked(device_);
}

void OverviewEntry::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
        emit clicked(device_);
        return;
    }
    QGroupBox::keyPressEvent(e);
}
