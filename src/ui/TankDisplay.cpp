#include "TankDisplay.h"

#include "DisplayRules.h"
#include "ElidedLabel.h"
#include "ListHelpers.h"
#include "OverviewEntry.h"
#include "OverviewPage.h"
#include "StateBadge.h"
#include "TabRows.h"
#include "TankPicture.h"
#include "UiLook.h"
#include "consumption/Forecast.h"
#include "core/Clock.h"
#include "core/RunConfig.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "lang/Plural.h"
#include "model/Figures.h"
#include "model/TankController.h"
#include "model/TankSnapshots.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

using namespace DisplayRules;

namespace
{
constexpr int kEntriesPerTab = 4;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text = {},
                  UiLook::Role role = UiLook::Role::Plain)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    UiLook::SetRole(l, role);
    return l;
}

// A caption of the detail fields, muted beside the values.
QLabel *fieldName(QWidget *parent, const char *name, const QString &text)
{
    QLabel *l = makeLabel(parent, name, text, UiLook::Role::FieldName);
    UiLook::SetTextColour(l, QColor(0x5f, 0x6b, 0x78));
    return l;
}
} // namespace

TankDisplay::TankDisplay(TankController &tanks, UiServices &ui, const Texts &texts, ClockFn clock,
                         QWidget *parent, const TankSnapshots *snapshots)
    : QWidget(parent), tanks_(tanks), snapshots_(snapshots), ui_(ui), texts_(texts), clock_(std::move(clock))
{
    setObjectName(QStringLiteral("TankDisplay"));
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setDocumentMode(false);
    SSTab1->setUsesScrollButtons(true);
    SSTab1->setStyleSheet(QStringLiteral(
        "QTabWidget::pane { border: 1px solid #d5dbe3; border-radius: 8px; background: #e9edf2; }"));
    tabRows_ = new TabRows(SSTab1, this);
    SSTab1->addTab(buildConfigTab(), texts_(326));

    auto *tabColumn = new QVBoxLayout;
    tabColumn->setSpacing(0);
    tabColumn->addWidget(tabRows_);
    connect(tabRows_, &TabRows::buttonsRebuilt, this, &TankDisplay::updateTabOrder);
    tabColumn->addWidget(SSTab1, 1);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    detailCard_ = buildDetailCard();
    row->addWidget(detailCard_, 0);
    auto *cards = new QWidget(this);
    cards->setObjectName(QStringLiteral("CardsView"));
    tabColumn->setContentsMargins(0, 0, 0, 0);
    cards->setLayout(tabColumn);
    views_ = new QStackedWidget(this);
    views_->addWidget(cards);
    row->addWidget(views_, 1);

    // Tab 1 and the entry of device 1 exist from the start; the tab shows
    // once a second device makes an overview worth having.
    ensureOverviewTab(1);
    SSTab1->setTabVisible(1, false);

    fillUnits();

    connect(ComboSN, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0)
            tanks_.ComboSN_Click(ComboSN->itemData(i).toInt());
    });
    connect(ComboEinheit, &QComboBox::activated, this,
            [this](int i) { tanks_.setUnit(ComboEinheit->itemData(i).toInt()); });
    // Only the user's typing counts: the refresh setting the text is no edit.
    connect(txbxTankbezeichnung, &QLineEdit::textEdited, this,
            [this](const QString &t) { tanks_.setTankName(t); });
    connect(txbxWarnschwelle, &QLineEdit::editingFinished, this, &TankDisplay::takeWarnThreshold);
    for (QLineEdit *e : {txbxVerlustProzent, txbxVerlustStunden, txbxVerlustRuhezeit})
        connect(e, &QLineEdit::editingFinished, this, &TankDisplay::takeLossSettings);
    connect(cmdGrafik, &QPushButton::clicked, this, &TankDisplay::chartRequested);
    connect(cmdTabelle, &QPushButton::clicked, this, &TankDisplay::tableRequested);
    connect(lblURL, &QLabel::linkActivated, this, [this] { openUrl(); });

    connect(&tanks_, &TankController::deviceAdded, this, &TankDisplay::addDevice);
    connect(&tanks_, &TankController::deviceChanged, this, &TankDisplay::ShowDevice);
    connect(&tanks_, &TankController::detailChanged, this, [this] { ComboSN_Click(); });
    connect(&tanks_, &TankController::selectDevice, this, &TankDisplay::selectInCombo);
    connect(&tanks_, &TankController::tableReset, this, &TankDisplay::rebuild);
    if (snapshots_)
        connect(snapshots_, &TankSnapshots::snapshotChanged, this, [this](int n) {
            showForecast(n);
            showState(n);
            updateTabMark(OverviewTab(n));
        });

    resetDisplay();
    rebuild();
}

QWidget *TankDisplay::buildDetailCard()
{
    auto *card = new QFrame(this);
    card->setObjectName(QStringLiteral("DetailCard"));
    card->setFrameShape(QFrame::StyledPanel);
    card->setStyleSheet(QStringLiteral(
        "QFrame#DetailCard { background: white; border: 1px solid #d5dbe3; border-radius: 8px; }"));
    card->setMinimumWidth(260);
    card->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    QLabel *labelTank = fieldName(card, "LabelTank", texts_(313));
    ComboSN = new QComboBox(card);
    labelTank->setBuddy(ComboSN);
    ComboSN->setObjectName(QStringLiteral("ComboSN"));
    ComboSN->setMinimumContentsLength(14);
    lblDetailName = new ElidedLabel(card);
    lblDetailName->setObjectName(QStringLiteral("lblDetailName"));
    UiLook::SetRole(lblDetailName, UiLook::Role::DetailName);
    lblZustand = makeLabel(card, "lblZustand");
    lblZustand->hide();
    lblZustandHinweis = makeLabel(card, "lblZustandHinweis", {}, UiLook::Role::Small);
    lblZustandHinweis->setWordWrap(true);
    lblZustandHinweis->hide();
    lblWaiting = makeLabel(card, "lblWaiting", {}, UiLook::Role::Percent);
    lblWaiting->setWordWrap(true);
    lblWaiting->setAlignment(Qt::AlignCenter);
    lblWaiting->hide();

    lblVolumen = makeLabel(card, "lblVolumen", {}, UiLook::Role::BigValue);
    lblVolumen->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    lblVolumen->setWordWrap(true);
    {
        // One height for a value and for a fault text of two lines: the
        // picture below does not move when a device reports an error.
        QFont fault = QApplication::font();
        fault.setPointSizeF(fault.pointSizeF() * 1.2);
        fault.setWeight(QFont::Bold);
        const int h = std::max(lblVolumen->fontMetrics().height() + 8, 2 * QFontMetrics(fault).height() + 14);
        lblVolumen->setFixedHeight(h);
    }
    LabelTankinhalt = makeLabel(card, "LabelTankinhalt", texts_(307), UiLook::Role::Percent);
    LabelTankinhalt->setAlignment(Qt::AlignHCenter);

    tankPicture = new TankPicture(TankPicture::Style::Detail, card);
    tankPicture->setObjectName(QStringLiteral("TankPicture"));
    lblAlarmBigTank = makeLabel(card, "lblAlarmBigTank", texts_(335), UiLook::Role::AlarmBadge);
    QFont af = lblAlarmBigTank->font();
    af.setPointSizeF(af.pointSizeF() * 1.4);
    lblAlarmBigTank->setFont(af);
    lblAlarmBigTank->hide();

    txbxTemperatur = makeLabel(card, "txbxTemperatur", {}, UiLook::Role::FieldValue);
    txbxZeit = makeLabel(card, "txbxZeit", {}, UiLook::Role::FieldValue);
    txbxReichweite = makeLabel(card, "txbxReichweite", QStringLiteral("\n"));
    // Two lines whether there is a forecast or not: nothing below moves.
    txbxReichweite->setWordWrap(true);
    txbxReichweite->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txbxReichweite->setFixedHeight(txbxReichweite->sizeHint().height());
    lblURL = makeLabel(card, "lblURL", {}, UiLook::Role::Link);
    lblURL->setTextFormat(Qt::RichText);
    lblURL->setCursor(Qt::PointingHandCursor);

    cmdGrafik = new QPushButton(texts_(162), card);
    cmdGrafik->setObjectName(QStringLiteral("cmdGrafik"));
    cmdTabelle = new QPushButton(texts_(354), card);
    cmdTabelle->setObjectName(QStringLiteral("cmdTabelle"));

    auto *v = new QVBoxLayout(card);
    v->setContentsMargins(16, 12, 16, 12);
    v->setSpacing(6);
    v->addWidget(labelTank);
    v->addWidget(ComboSN);
    {
        // The state beside the name: no extra line while all is well.
        auto *nameRow = new QHBoxLayout;
        nameRow->addWidget(lblDetailName, 1);
        nameRow->addWidget(lblZustand);
        v->addLayout(nameRow);
    }
    v->addWidget(lblZustandHinweis);
    v->addWidget(lblWaiting);
    v->addWidget(lblVolumen);
    v->addWidget(LabelTankinhalt);

    auto *pic = new QGridLayout;
    pic->addWidget(tankPicture, 0, 0);
    pic->addWidget(lblAlarmBigTank, 0, 0, Qt::AlignCenter);
    lblAlarmBigTank->raise(); // over the tank
    v->addLayout(pic, 1);

    auto *facts = new QGridLayout;
    facts->setHorizontalSpacing(12);
    facts->setVerticalSpacing(6);
    facts->addWidget(fieldName(card, "LabelTemperatur", texts_(329)), 0, 0);
    facts->addWidget(txbxTemperatur, 0, 1);
    facts->addWidget(fieldName(card, "LabelMesszeitpunkt", texts_(312)), 1, 0);
    facts->addWidget(txbxZeit, 1, 1);
    facts->addWidget(txbxReichweite, 2, 0, 1, 2);
    facts->setColumnStretch(1, 1);
    v->addLayout(facts);
    v->addWidget(lblURL);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdGrafik);
    buttons->addWidget(cmdTabelle);
    buttons->addStretch(1);
    v->addLayout(buttons);
    return card;
}

QWidget *TankDisplay::buildConfigTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabDetails"));
    txbxTankbezeichnung = new QLineEdit(page);
    txbxTankbezeichnung->setObjectName(QStringLiteral("txbxTankbezeichnung"));
    txbxTankbezeichnung->setMaxLength(200);
    ComboEinheit = new QComboBox(page);
    ComboEinheit->setObjectName(QStringLiteral("ComboEinheit"));
    txbxWarnschwelle = new QLineEdit(page);
    txbxWarnschwelle->setObjectName(QStringLiteral("txbxWarnschwelle"));
    txbxWarnschwelle->setMaxLength(12);
    txbxWarnschwelle->setToolTip(texts_(883));
    lblWarnschwelleFehler = makeLabel(page, "lblWarnschwelleFehler", {}, UiLook::Role::Small);
    lblWarnschwelleFehler->setWordWrap(true);
    UiLook::SetTextColour(lblWarnschwelleFehler, QColor(0xb7, 0x1c, 0x1c));
    lblWarnschwelleFehler->hide();
    auto lossField = [this, page](const char *name, int maxLength, int tip) {
        auto *e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLength);
        e->setToolTip(texts_(tip));
        return e;
    };
    txbxVerlustProzent = lossField("txbxVerlustProzent", 12, 1146);
    txbxVerlustStunden = lossField("txbxVerlustStunden", 4, 1146);
    txbxVerlustRuhezeit = lossField("txbxVerlustRuhezeit", 20, 1147);
    txbxVerlustRuhezeit->setPlaceholderText(QStringLiteral("20:00-06:00 WE"));
    lblVerlustFehler = makeLabel(page, "lblVerlustFehler", {}, UiLook::Role::Small);
    lblVerlustFehler->setWordWrap(true);
    UiLook::SetTextColour(lblVerlustFehler, QColor(0xb7, 0x1c, 0x1c));
    lblVerlustFehler->hide();
    txbxTanktyp = makeLabel(page, "txbxTanktyp", {}, UiLook::Role::FieldValue);
    txbxTankVolumen = makeLabel(page, "txbxTankVolumen", {}, UiLook::Role::FieldValue);
    txbxTankhoehe = makeLabel(page, "txbxTankhoehe", {}, UiLook::Role::FieldValue);

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(18);
    form->setVerticalSpacing(12);
    int r = 0;
    auto add = [&](const char *name, int textId, QWidget *field) {
        QLabel *label = fieldName(page, name, texts_(textId));
        if (field->focusPolicy() != Qt::NoFocus)
            label->setBuddy(field);
        form->addWidget(label, r, 0, Qt::AlignLeft | Qt::AlignVCenter);
        form->addWidget(field, r, 1);
        ++r;
    };
    add("LabelTankbezeichnung", 331, txbxTankbezeichnung);
    add("LabelEinheit", 308, ComboEinheit);
    add("LabelWarnschwelle", 880, txbxWarnschwelle);
    form->addWidget(lblWarnschwelleFehler, r++, 1);
    // Percent and hours share a row: the page has to fit an 800 x 600 screen.
    auto *lossRow = new QWidget(page);
    auto *lossLine = new QHBoxLayout(lossRow);
    lossLine->setContentsMargins(0, 0, 0, 0);
    QLabel *hoursLabel = fieldName(page, "LabelVerlustStunden", texts_(1143));
    hoursLabel->setBuddy(txbxVerlustStunden);
    lossLine->addWidget(txbxVerlustProzent, 1);
    lossLine->addWidget(hoursLabel);
    lossLine->addWidget(txbxVerlustStunden, 1);
    add("LabelVerlustProzent", 1142, lossRow);
    qobject_cast<QLabel *>(form->itemAtPosition(r - 1, 0)->widget())->setBuddy(txbxVerlustProzent);
    add("LabelVerlustRuhezeit", 1144, txbxVerlustRuhezeit);
    form->addWidget(lblVerlustFehler, r++, 1);
    add("LabelTanktyp", 309, txbxTanktyp);
    add("LabelTankvolumen", 311, txbxTankVolumen);
    add("LabelTankhoehe", 310, txbxTankhoehe);
    form->setColumnStretch(1, 1);
    form->setColumnMinimumWidth(1, 160);
    // The client shows the serving installation's settings and edits none:
    // its fields look like the other values, not like boxes to type in.
    if (tanks_.config().clientMode) {
        for (QLineEdit *e : {txbxTankbezeichnung, txbxWarnschwelle}) {
            e->setReadOnly(true);
            e->setFrame(false);
            e->setFocusPolicy(Qt::NoFocus);
            e->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
        }
        ComboEinheit->setEnabled(false);
    }

    auto *card = new QFrame(page);
    card->setObjectName(QStringLiteral("ConfigCard"));
    card->setStyleSheet(QStringLiteral(
        "QFrame#ConfigCard { background: white; border: 1px solid #d5dbe3; border-radius: 8px; }"));
    card->setMaximumWidth(640);
    form->setContentsMargins(22, 20, 22, 22);
    card->setLayout(form);
    for (int i = 0; i < form->count(); ++i)
        if (QWidget *w = form->itemAt(i)->widget())
            w->setParent(card);

    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(14, 14, 14, 14);
    auto *h = new QHBoxLayout;
    h->addWidget(card, 1);
    h->addStretch(0);
    v->addLayout(h);
    v->addStretch(1);
    return page;
}

void TankDisplay::fillUnits()
{
    ComboEinheit->clear();
    // A list names a unit as "2 ..." would: "litry", not the "litrów" that follows 5000.
    for (int code = 0; code <= 8; ++code)
        AddListItem(ComboEinheit, code == 0 ? PluralText(texts_, 900, 2) : UnitName(code, texts_), code);
}

void TankDisplay::setFleetView(QWidget *fleet)
{
    views_->addWidget(fleet);
}

void TankDisplay::showFleet(bool on)
{
    if (views_->count() > 1)
        views_->setCurrentIndex(on ? 1 : 0);
}

bool TankDisplay::fleetShown() const
{
    return views_->currentIndex() == 1;
}

void TankDisplay::showState(int n)
{
    if (!snapshots_ || n < 1 || n > tanks_.DeviceCount())
        return;
    const TankStatus s = snapshots_->at(n)->status;
    const Texts t = texts_;
    if (OverviewEntry *e = entries_.value(n))
        e->showState(s, t);
    if (n == tanks_.currentDevice()) {
        StateLook::ShowBadge(lblZustand, s, t);
        lblZustandHinweis->setText(TankStateNote(s, t));
        lblZustandHinweis->setVisible(s.condition != TankCondition::Ok);
    }
}

void TankDisplay::setProgramTitle(std::function<QString()> title)
{
    title_ = std::move(title);
}

QString TankDisplay::programTitle() const
{
    return title_ ? title_() : QString();
}

void TankDisplay::setUrlCaption(const QString &text)
{
    urlCaption_ = text;
    showUrl(text);
}

void TankDisplay::showUrl(const QString &text, bool source)
{
    // A device's address says what it is and where a click leads.
    lblURL->setText((source ? texts_(869).toHtmlEscaped() + QLatin1Char(' ') : QString()) +
                    QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
    lblURL->setToolTip(source ? FormatText(texts_(870), {text}) : QString());
    lblURL->setProperty("caption", text);
    lblURL->setVisible(!text.isEmpty());
}

void TankDisplay::resetDisplay()
{
    lblVolumen->clear();
    lblVolumen->setToolTip(QString());
    UiLook::SetTextColour(lblVolumen, NormalColour());
    LabelTankinhalt->setText(texts_(307));
    DrawTankLevel(0);
    for (QLabel *l : {txbxTanktyp, txbxTankVolumen, txbxTankhoehe, txbxTemperatur, txbxZeit, txbxReichweite})
        l->clear();
    UiLook::SetTextColour(txbxZeit, NormalColour());
    txbxTankbezeichnung->clear();
    txbxWarnschwelle->clear();
    lblWarnschwelleFehler->hide();
    thresholdShownFor_ = 0;
    for (QLineEdit *e : {txbxVerlustProzent, txbxVerlustStunden, txbxVerlustRuhezeit})
        e->clear();
    lblVerlustFehler->hide();
    lossShownFor_ = 0;
    lblDetailName->setText(QString());
    lblAlarmBigTank->hide();
    lblZustand->hide();
    lblZustandHinweis->hide();
    tankPicture->setNoValueText(QString());
    tankPicture->setNoLevel(QColor(), QString());
    setUrlCaption(urlCaption_);
    // Nothing to name or to give a unit before a device is shown (a client
    // leaves them as they are, as every later refresh does).
    if (!tanks_.config().clientMode) {
        txbxTankbezeichnung->setEnabled(false);
        ComboEinheit->setEnabled(false);
        txbxWarnschwelle->setEnabled(false);
        for (QLineEdit *e : {txbxVerlustProzent, txbxVerlustStunden, txbxVerlustRuhezeit})
            e->setEnabled(false);
    }
    showWaiting();
}

void TankDisplay::setLinkDescription(const QStringList &links)
{
    links_ = links;
    showWaiting();
}

void TankDisplay::setRemoteTanks(bool any)
{
    remoteTanks_ = any;
    showWaiting();
}

void TankDisplay::showWaiting()
{
    const bool waiting = tanks_.DeviceCount() == 0;
    detailCard_->setVisible(!(waiting && remoteTanks_));
    // No tank yet: no tab named after one, and how to connect a device.
    if (waiting) {
        lblWaiting->setText(WaitingText(texts_, links_) + QStringLiteral("\n\n") + EmptyProgramText(texts_));
        SSTab1->setTabText(0, texts_(280));
        syncTabRows();
    } else if (tanks_.DeviceCount() == 1 && SSTab1->tabText(0) != texts_(326)) {
        SSTab1->setTabText(0, texts_(326)); // the first tank's own tab
        syncTabRows();
    }
    lblWaiting->setVisible(waiting);
    lblVolumen->setVisible(!waiting);
}

void TankDisplay::ensureOverviewTab(int k)
{
    while (overviewPages_.size() < k) {
        const int tab = int(overviewPages_.size()) + 1;
        auto *page = new OverviewPage(tab);
        overviewPages_.append(page);
        SSTab1->addTab(page, texts_(282) + QString::number(4 * tab - 3));
    }
}

void TankDisplay::rebuild()
{
    const bool blocked = ComboSN->blockSignals(true);
    ComboSN->clear();
    ComboSN->blockSignals(blocked);
    ComboSN->setEnabled(false);
    qDeleteAll(entries_);
    entries_.clear();
    while (SSTab1->count() > 2) {
        QWidget *page = SSTab1->widget(SSTab1->count() - 1);
        SSTab1->removeTab(SSTab1->count() - 1);
        delete page;
    }
    while (overviewPages_.size() > 1)
        overviewPages_.removeLast();
    SSTab1->setTabText(0, texts_(326));
    SSTab1->setTabText(1, texts_(282) + QStringLiteral("1"));
    SSTab1->setTabVisible(1, false);

    // Device 1's entry is the designed one, on tab 1.
    auto *first = new OverviewEntry(1, texts_(327), texts_);
    overviewPages_[0]->addEntry(first, 0);
    connect(first, &OverviewEntry::clicked, this, &TankDisplay::selectFromOverview);
    entries_.insert(1, first);
    for (int k = 1; k <= OverviewTab(56); ++k)
        tabRows_->setMark(k, TankCondition::Ok);

    for (int n = 1; n <= tanks_.DeviceCount(); ++n)
        addDevice(n);
    // The window opens on the tanks' cards, not on the one tank's settings;
    // later loads leave the tab the user is on.
    if (!startTabChosen_ && tanks_.DeviceCount() >= 1) {
        startTabChosen_ = true;
        if (tanks_.DeviceCount() >= 2)
            SSTab1->setCurrentIndex(1);
    }
    syncTabRows();
    showWaiting();
    const int c = tanks_.currentDevice();
    if (c >= 1 && c <= tanks_.DeviceCount()) {
        selectInCombo(c);
        ComboSN_Click();
    } else {
        resetDisplay();
    }
}

void TankDisplay::addDevice(int n)
{
    if (n < 1 || n > 56)
        return;
    if (n >= 2) {
        const int k = OverviewTab(n);
        SSTab1->setTabText(0, texts_(280));
        ensureOverviewTab(k);
        SSTab1->setTabVisible(k, true);
        SSTab1->setTabText(k, OverviewTabCaption(texts_, k, n));
        if (!entries_.contains(n)) {
            auto *e = new OverviewEntry(n, texts_(281) + QString::number(n), texts_);
            overviewPages_[k - 1]->addEntry(e, (n - 1) % kEntriesPerTab);
            connect(e, &OverviewEntry::clicked, this, &TankDisplay::selectFromOverview);
            entries_.insert(n, e);
        }
        syncTabRows();
    }
    showWaiting();

    // A selector entry that is not selected (a combo box would pick its
    // first entry by itself).
    const bool wasEmpty = ComboSN->currentIndex() < 0;
    const bool blocked = ComboSN->blockSignals(true);
    const QString text = SelectorText(n, tanks_.device(n).SN);
    const int existing = ComboSN->findData(n);
    if (existing >= 0)
        ComboSN->setItemText(existing, text);
    else
        AddListItem(ComboSN, text, n);
    if (wasEmpty)
        ComboSN->setCurrentIndex(-1);
    ComboSN->blockSignals(blocked);
    ComboSN->setEnabled(true);
    ShowDevice(n);
}

TankCondition TankDisplay::conditionOf(int n) const
{
    if (snapshots_)
        return snapshots_->at(n)->status.condition;
    // Without the tanks' states: what the reading alone says.
    return TankState(TankReadingOf(tanks_.device(n)), TankStateRules{}, clock_()).condition;
}

void TankDisplay::syncTabRows()
{
    int overviewTabs = 0;
    for (int i = 1; i < SSTab1->count(); ++i)
        overviewTabs += SSTab1->isTabVisible(i);
    tabRows_->sync(TabsPerRow(overviewTabs));
}

void TankDisplay::updateTabMark(int tab)
{
    TankCondition worst = TankCondition::Ok;
    for (int n = 4 * tab - 3; n <= std::min(4 * tab, tanks_.DeviceCount()); ++n)
        worst = Worse(worst, conditionOf(n));
    tabRows_->setMark(tab, worst);
}

void TankDisplay::updateTabOrder()
{
    // As on screen: the selector and buttons of the detail view, the tab
    // captions row by row, the page's fields, the overview entries.
    QList<QWidget *> chain{ComboSN, cmdGrafik, cmdTabelle};
    for (QWidget *b : tabRows_->buttons())
        chain << b;
    chain << txbxTankbezeichnung << ComboEinheit << txbxWarnschwelle << txbxVerlustProzent
          << txbxVerlustStunden << txbxVerlustRuhezeit;
    for (OverviewEntry *e : std::as_const(entries_))
        chain << e;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TankDisplay::selectFromOverview(int n)
{
    if (n < 1 || n > tanks_.DeviceCount())
        return;
    if (ComboSN->currentData().toInt() == n && ComboSN->currentIndex() >= 0)
        return;
    SelectByItemData(ComboSN, n); // the selector's own change runs the refresh
}

void TankDisplay::selectInCombo(int n)
{
    // The controller runs ComboSN_Click itself after asking for the selection.
    const bool blocked = ComboSN->blockSignals(true);
    SelectByItemData(ComboSN, n);
    ComboSN->blockSignals(blocked);
}

void TankDisplay::ShowDevice(int n)
{
    OverviewEntry *e = entries_.value(n);
    if (!e || n > tanks_.DeviceCount())
        return;
    e->showDevice(tanks_.device(n), tanks_.switches().flagTempKorr(), clock_());
    showForecast(n);
    showState(n);
    updateTabMark(OverviewTab(n));
}

void TankDisplay::showForecast(int n)
{
    if (n < 1 || n > tanks_.DeviceCount())
        return;
    // A device in fault has no forecast (its snapshot has none).
    const bool fault = tanks_.device(n).Volumen < 0;
    std::optional<EmptyForecast> forecast;
    bool empty = false;
    if (snapshots_) {
        const TankSnapshotPtr s = snapshots_->at(n);
        if (const std::optional<double> days = s->daysUntilEmpty(clock_()))
            forecast = EmptyForecast{s->dailyUse, *days, s->emptyAt};
        empty = s->level && *s->level <= 0;
    }
    const QString text = fault ? QString() : ForecastText(texts_, forecast, empty);
    if (OverviewEntry *e = entries_.value(n))
        e->setForecastText(text);
    if (n == tanks_.currentDevice())
        txbxReichweite->setText(fault ? QString()
                                      : texts_(400) + QLatin1Char(' ') +
                                            (text.isEmpty() ? QStringLiteral("–") : text));
}

void TankDisplay::DrawTankLevel(double fraction)
{
    tankPicture->setLevel(fraction > 1 ? 1 : fraction);
}

void TankDisplay::setCaption(const QString &c)
{
    caption_ = c;
    emit captionChanged(c);
}

void TankDisplay::ComboSN_Click()
{
    const int c = tanks_.currentDevice();
    if (c < 1 || c > tanks_.DeviceCount())
        return;
    const DeviceRecord &r = tanks_.device(c);
    const bool tk = tanks_.switches().flagTempKorr();
    const bool old = IsOld(ReadingAgeMinutes(r.Uhrzeit, clock_()));

    // Keep the selector on the device shown, without a second click.
    if (ComboSN->currentIndex() < 0 || ComboSN->currentData().toInt() != c)
        selectInCombo(c);

    lblVolumen->setText(ShownValue(CorrectedVolume(r, tk), r, texts_));
    UiLook::SetRole(lblVolumen, r.Volumen >= 0 ? UiLook::Role::BigValue : UiLook::Role::Fault);
    UiLook::SetTextColour(lblVolumen, old ? OldColour() : NormalColour());
    lblDetailName->setText(r.Tankbezeichnung);
    tankPicture->setShape(TankShapeOf(r));
    lblWaiting->hide();
    lblVolumen->show();
    if (r.Volumen >= 0) {
        setCaption(DetailCaption(lblVolumen->text(), r.Temperatur, programTitle()));
        DrawTankLevel(FillFraction(r));
        tankPicture->setNoValueText(QString());
        tankPicture->setNoLevel(QColor(), QString());
        lblVolumen->setToolTip(QString());
        LabelTankinhalt->setText(texts_(258) + CorrectedPercentText(r, tk));
    } else {
        setCaption(programTitle());
        DrawTankLevel(0);
        // Not an empty tank: no level at all.
        tankPicture->setNoValueText(texts_(815));
        tankPicture->setNoLevel(StateLook::Colour(TankCondition::Fault), LookOf(TankCondition::Fault).sign);
        lblVolumen->setToolTip(lblVolumen->text());
        LabelTankinhalt->setText(texts_(259));
    }

    if (txbxTankbezeichnung->text() != r.Tankbezeichnung)
        txbxTankbezeichnung->setText(r.Tankbezeichnung);
    SelectByItemData(ComboEinheit, r.Einheit);
    showWarnThreshold(c);
    showLossSettings(c);
    txbxTanktyp->setText(TankTypeName(r, texts_));
    txbxTankVolumen->setText(ShownValue(r.Tankvolumen, r, texts_));
    txbxTankhoehe->setText(QString::number(r.Tankhoehe) + QStringLiteral(" mm"));
    txbxTemperatur->setText(TemperatureText(r.Temperatur));

    lblAlarmBigTank->setVisible(r.Alarm);
    txbxZeit->setText(GeneralDateTimeText(texts_, r.Uhrzeit));
    // A client shows what the serving installation stored: a reading older
    // than its storing interval (and a minute's grace) has not come through.
    const RunSwitches &sw = tanks_.switches();
    const bool behind = sw.options().clientMode && r.Uhrzeit.isValid() && sw.logIniInterval() > 0 &&
                        r.Uhrzeit.secsTo(clock_()) > qint64(sw.logIniInterval()) + 60;
    UiLook::SetTextColour(txbxZeit, old || behind ? OldTimeColour() : NormalColour());
    txbxZeit->setToolTip(
        behind ? FormatText(texts_(910), {QString::number(sw.logIniInterval()) + QStringLiteral(" s")})
               : QString());
    showForecast(c);
    showState(c);

    ComboSN->setEnabled(true);
    if (!tanks_.config().clientMode) {
        txbxTankbezeichnung->setEnabled(true);
        ComboEinheit->setEnabled(true);
        txbxWarnschwelle->setEnabled(true);
        for (QLineEdit *e : {txbxVerlustProzent, txbxVerlustStunden, txbxVerlustRuhezeit})
            e->setEnabled(true);
    }
    if (!r.ClientIP.isEmpty())
        showUrl(r.ClientIP, true);
    else
        lblURL->hide();
}

void TankDisplay::showWarnThreshold(int n)
{
    const QLocale locale = texts_.locale();
    const DeviceRegistry &reg = tanks_.registry();
    txbxWarnschwelle->setPlaceholderText(
        FormatText(texts_(881), {locale.toString(reg.commonLowPercent(), 'g', 10)}));
    // A refresh while the user types, or after a refused entry, leaves the
    // field alone: what was typed stays until it is taken or another tank is shown.
    const bool editing = txbxWarnschwelle->hasFocus() || lblWarnschwelleFehler->isVisible();
    if (n == thresholdShownFor_ && editing)
        return;
    thresholdShownFor_ = n;
    lblWarnschwelleFehler->hide();
    // A stored text that is no threshold is shown as it is, not as the one that applies.
    const QString own = reg.warnThreshold(n);
    const std::optional<QString> valid = WarnThresholdEntry(own);
    txbxWarnschwelle->setText(valid && !valid->isEmpty() ? locale.toString(valid->toDouble(), 'g', 10) : own);
}

void TankDisplay::takeWarnThreshold()
{
    const int c = tanks_.currentDevice();
    if (c != thresholdShownFor_)
        return;
    if (!tanks_.setWarnThreshold(txbxWarnschwelle->text())) {
        lblWarnschwelleFehler->setText(texts_(882));
        lblWarnschwelleFehler->show();
        return;
    }
    lblWarnschwelleFehler->hide();
    thresholdShownFor_ = 0; // shown again as stored, in the run's notation
    showWarnThreshold(c);
}

void TankDisplay::showLossSettings(int n)
{
    const QLocale locale = texts_.locale();
    const DeviceRegistry &reg = tanks_.registry();
    const TankLossSettings common = reg.commonLossSettings();
    const auto shown = [&locale](const QString &stored) {
        bool ok = false;
        const double v = stored.toDouble(&ok);
        return ok ? locale.toString(v, 'g', 10) : stored;
    };
    // A tank measured in percent has no loss alarm unless it is given limits.
    const bool percentTank = tanks_.table()[n].Einheit == Loss::kPercentUnit;
    txbxVerlustProzent->setPlaceholderText(percentTank ? FormatText(texts_(1148), {QStringLiteral("0")})
                                                       : FormatText(texts_(881), {shown(common.prozent)}));
    txbxVerlustStunden->setPlaceholderText(FormatText(texts_(881), {shown(common.stunden)}));
    // As the threshold: what is being typed or was refused stays until taken.
    const bool editing = txbxVerlustProzent->hasFocus() || txbxVerlustStunden->hasFocus() ||
                         txbxVerlustRuhezeit->hasFocus() || lblVerlustFehler->isVisible();
    if (n == lossShownFor_ && editing)
        return;
    lossShownFor_ = n;
    lblVerlustFehler->hide();
    const TankLossSettings own = reg.lossSettings(n);
    txbxVerlustProzent->setText(shown(own.prozent));
    txbxVerlustStunden->setText(own.stunden);
    txbxVerlustRuhezeit->setText(own.ruhezeit);
}

void TankDisplay::takeLossSettings()
{
    const int c = tanks_.currentDevice();
    if (c != lossShownFor_)
        return;
    const QLocale locale = texts_.locale();
    // Typed in the run's notation ("2,5" in German): the store takes a point.
    QString prozent = txbxVerlustProzent->text().trimmed();
    bool ok = false;
    if (const double v = locale.toDouble(prozent, &ok); ok)
        prozent = QString::number(v, 'g', 15);
    if (!tanks_.setLossSettings({prozent, txbxVerlustStunden->text(), txbxVerlustRuhezeit->text()})) {
        lblVerlustFehler->setText(texts_(1145));
        lblVerlustFehler->show();
        return;
    }
    lblVerlustFehler->hide();
    lossShownFor_ = 0; // shown again as stored
    showLossSettings(c);
}

void TankDisplay::openUrl()
{
    const QString caption = lblURL->property("caption").toString();
    if (caption.isEmpty())
        return;
    ui_.setWaitCursor(true);
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + caption + QLatin1Char('/')));
    ui_.setWaitCursor(false);
}
