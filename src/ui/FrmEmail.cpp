#include "FrmEmail.h"
#include "SingleWindow.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"
#include "ScreenFit.h"
#include "UiLook.h"

#include "core/TextHelpers.h"
#include "email/EmailDialogLogic.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

namespace
{

constexpr int kIconSize = 22;

// The pictures of the lock button (closed or open padlock) and of the test
// button (an envelope), drawn at the screen's pixel ratio.
QIcon drawnIcon(const std::function<void(QPainter &)> &draw, qreal dpr)
{
    QPixmap pm(QSize(kIconSize, kIconSize) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pm);
}

QIcon lockIcon(bool closed, qreal dpr)
{
    return drawnIcon(
        [closed](QPainter &p) {
            const QColor body = closed ? QColor(0xb2, 0x6a, 0x00) : QColor(0x2e, 0x7d, 0x32);
            p.setPen(QPen(QColor(0x4a, 0x55, 0x60), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath shackle;
            shackle.moveTo(7, 11);
            shackle.lineTo(7, 7.5);
            shackle.arcTo(QRectF(7, 2.5, 8, 9), 180, -180);
            shackle.lineTo(15, closed ? 11 : 6.5);
            if (!closed)
                shackle.translate(0, -2);
            p.drawPath(shackle);
            p.setPen(Qt::NoPen);
            p.setBrush(body);
            p.drawRoundedRect(QRectF(4, 10, 14, 10), 2, 2);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(11, 14.5), 1.6, 1.6);
        },
        dpr);
}

QIcon envelopeIcon(qreal dpr)
{
    return drawnIcon(
        [](QPainter &p) {
            p.setPen(QPen(UiLook::Accent(), 1.6));
            p.setBrush(QColor(0xe8, 0xf1, 0xfa));
            const QRectF r(2.5, 5.5, 17, 12);
            p.drawRoundedRect(r, 1.5, 1.5);
            p.drawPolyline(
                QPolygonF({r.topLeft(), QPointF(r.center().x(), r.center().y() + 1), r.topRight()}));
        },
        dpr);
}

QGroupBox *group(QWidget *parent)
{
    auto *g = new QGroupBox(parent);
    g->setFlat(false);
    return g;
}

// A grid of label/field rows as the form's groups use them.
QGridLayout *formGrid(QGroupBox *g)
{
    auto *grid = new QGridLayout(g);
    grid->setContentsMargins(12, 10, 12, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(7);
    grid->setColumnStretch(1, 1);
    return grid;
}

void addRow(QGridLayout *grid, QLabel *label, QWidget *field, Qt::Alignment fieldAlign = {})
{
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(field, row, 1, fieldAlign);
}

void addRow(QGridLayout *grid, QLabel *label, QLayout *fields)
{
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addLayout(fields, row, 1);
}

} // namespace

frmEmail *frmEmail::ShowDialog(QPointer<frmEmail> &open, std::unique_ptr<EmailDialogLogic> logic,
                               QWidget *parent)
{
    return ShowSingle(open, [&] {
        auto *dlg = new frmEmail(std::move(logic), parent);
        dlg->logic().Load();
        return dlg;
    });
}

frmEmail::frmEmail(std::unique_ptr<EmailDialogLogic> logic, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic))
{
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(logic_->texts()(134));
    buildControls();
    setLayout(buildLayout());
    wireEdits();
    AssignAccessKeys(this);
    FitToScreen(this, sizeHint());

    connect(logic_.get(), &EmailDialogLogic::fieldsChanged, this, &frmEmail::showFields);
    connect(logic_.get(), &EmailDialogLogic::subjectChanged, this, &frmEmail::showSubject);
    connect(logic_.get(), &EmailDialogLogic::enablingChanged, this, &frmEmail::EnableSettings);
    connect(logic_.get(), &EmailDialogLogic::closeRequested, this, &QDialog::close);
    connect(CmdOk, &QPushButton::clicked, logic_.get(), &EmailDialogLogic::Ok);
    connect(cmdCancel, &QPushButton::clicked, logic_.get(), &EmailDialogLogic::Cancel);
    connect(cmdSchloss, &QToolButton::clicked, logic_.get(), &EmailDialogLogic::cmdSchloss);
    connect(cmdTest, &QToolButton::clicked, logic_.get(), &EmailDialogLogic::cmdTest);
    connect(cmdHilfe, &QPushButton::clicked, this,
            [this] { emit helpRequested(QString::fromLatin1(HelpTopic::frmEmail)); });
}

frmEmail::~frmEmail()
{
    // No focus change may reach the logic while the fields go away.
    txbxBetreff->removeEventFilter(this);
    txbxPassword->removeEventFilter(this);
}

void frmEmail::buildControls()
{
    const Texts &tx = logic_->texts();
    auto label = [this](const char *name, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto edit = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto combo = [this](const char *name, const QList<EmailDialogLogic::ListEntry> &entries) {
        auto *c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        for (const auto &e : entries)
            AddListItem(c, e.text, e.value);
        // Narrow enough for small screens; the open list shows the whole texts.
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(6);
        return c;
    };

    chbxEmail = new QCheckBox(tx(135), this);
    chbxEmail->setObjectName(QStringLiteral("chbxEmail"));
    QFont bold = chbxEmail->font();
    bold.setWeight(QFont::DemiBold);
    chbxEmail->setFont(bold);
    txbxEmpfaengerAdr[0] = edit("txbxEmpfaengerAdr0");
    txbxEmpfaengerAdr[1] = edit("txbxEmpfaengerAdr1");
    LabelEmpfaenger1 = label("LabelEmpfaenger1", tx(153));
    LabelEmpfaenger2 = label("LabelEmpfaenger2", tx(918));

    LabelAbstandNormal = label("LabelAbstandNormal", tx(157));
    ComboAbstand1 = combo("ComboAbstand1", logic_->Abstand1List());
    LabelMelderastertext = label("LabelMelderastertext", tx(156));
    txbxMelderaster = edit("txbxMelderaster");
    txbxMelderaster->setMaximumWidth(52);
    txbxMelderaster->setAlignment(Qt::AlignRight);
    LabelMelderasterProzent = label("LabelMelderasterProzent", tx(155));
    LabelSchwelle2 = label("LabelSchwelle2", tx(158));
    ComboSchwelle2 = combo("ComboSchwelle2", logic_->SchwelleList());
    ComboSchwelle2->setMinimumContentsLength(11);
    ComboAbstand2 = combo("ComboAbstand2", logic_->Abstand2List());
    LabelStilleStunden = label("LabelStilleStunden", tx(412));
    spinStilleStunden = new QSpinBox(this);
    spinStilleStunden->setObjectName(QStringLiteral("spinStilleStunden"));
    spinStilleStunden->setRange(0, EmailSettings::kMaxStilleStunden);
    LabelVerlustProzent = label("LabelVerlustProzent", tx(1101));
    spinVerlustProzent = new QDoubleSpinBox(this);
    spinVerlustProzent->setObjectName(QStringLiteral("spinVerlustProzent"));
    spinVerlustProzent->setRange(0, 100);
    spinVerlustProzent->setDecimals(1);
    spinVerlustProzent->setSingleStep(0.5);
    LabelVerlustStunden = label("LabelVerlustStunden", tx(1102));
    spinVerlustStunden = new QSpinBox(this);
    spinVerlustStunden->setObjectName(QStringLiteral("spinVerlustStunden"));
    spinVerlustStunden->setRange(0, EmailSettings::kMaxVerlustStunden);

    LabelKundenname = label("LabelKundenname", tx(152));
    txbxKundenname = edit("txbxKundenname");
    txbxKundenname->setToolTip(tx(140));
    LabelStrasse = label("LabelStrasse", tx(151));
    txbxStrasse = edit("txbxStrasse");
    LabelOrt = label("LabelOrt", tx(150));
    txbxOrt = edit("txbxOrt");
    LabelTelefon = label("LabelTelefon", tx(149));
    txbxTelefon = edit("txbxTelefon");
    LabelBemerkung = label("LabelBemerkung", tx(148));
    txbxBemerkung = edit("txbxBemerkung");
    txbxBemerkung->setToolTip(tx(139));

    // The mail server's protocol names stay as they are in every language.
    LabelSMTPServer = label("LabelSMTPServer", QStringLiteral("SMTP-Server:"));
    txbxSMTPServer = edit("txbxSMTPServer");
    LabelSMTPPort = label("LabelSMTPPort", QStringLiteral("Port:"));
    txbxSMTPPort = edit("txbxSMTPPort");
    txbxSMTPPort->setMaximumWidth(70);
    LabelSTARTTLS = label("LabelSTARTTLS", QStringLiteral("STARTTLS:"));
    chbxSTARTTLS = new QCheckBox(this);
    chbxSTARTTLS->setObjectName(QStringLiteral("chbxSTARTTLS"));
    LabelLogin = label("LabelLogin", tx(877));
    chbxLogin = new QCheckBox(this);
    chbxLogin->setObjectName(QStringLiteral("chbxLogin"));
    LabelUserName = label("LabelUserName", tx(878));
    txbxUserName = edit("txbxUserName");
    LabelPassword = label("LabelPassword", tx(879));
    txbxPassword = edit("txbxPassword");
    txbxPassword->setEchoMode(QLineEdit::Password);
    txbxPassword->installEventFilter(this);
    LabelAbsenderEmail = label("LabelAbsenderEmail", tx(154));
    txbxAbsenderEmail = edit("txbxAbsenderEmail");

    LabelTank = label("LabelTank", tx(146));
    lstbxTank = new QListWidget(this);
    lstbxTank->setObjectName(QStringLiteral("lstbxTank"));
    lstbxTank->setSelectionMode(QAbstractItemView::MultiSelection);
    LabelBetreff = label("LabelBetreff", tx(147));
    txbxBetreff = edit("txbxBetreff");
    txbxBetreff->installEventFilter(this);
    // While the subject is typed with placeholders, what will go out, as it is typed.
    lblBetreffVorschau = label("lblBetreffVorschau", QString());
    lblBetreffVorschau->setTextFormat(Qt::PlainText);
    lblBetreffVorschau->hide();
    connect(txbxBetreff, &QLineEdit::textEdited, this, [this](const QString &typed) {
        lblBetreffVorschau->setText(logic_->texts()(923) + QLatin1Char(' ') + logic_->subjectPreview(typed));
        lblBetreffVorschau->setVisible(logic_->subjectEditing());
    });

    const qreal dpr = devicePixelRatioF();
    cmdSchloss = new QToolButton(this);
    cmdSchloss->setObjectName(QStringLiteral("cmdSchloss"));
    cmdSchloss->setToolTip(tx(137));
    cmdSchloss->setIconSize(QSize(kIconSize, kIconSize));
    cmdSchloss->setIcon(lockIcon(false, dpr));
    cmdTest = new QToolButton(this);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    cmdTest->setToolTip(tx(138));
    cmdTest->setIconSize(QSize(kIconSize, kIconSize));
    cmdTest->setIcon(envelopeIcon(dpr));
    cmdHilfe = new QPushButton(tx(136), this);
    cmdHilfe->setObjectName(QStringLiteral("cmdHilfe"));
    cmdHilfe->setAutoDefault(false);
    CmdOk = new QPushButton(tx(145), this);
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(tx(144), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    // Alt and a label's letter reach its field.
    // The second recipient's label goes without a letter: in some languages the
    // subject would find none left.
    const std::pair<QLabel *, QWidget *> buddies[] = {{LabelEmpfaenger1, txbxEmpfaengerAdr[0]},
                                                      {LabelAbstandNormal, ComboAbstand1},
                                                      {LabelMelderastertext, txbxMelderaster},
                                                      {LabelSchwelle2, ComboSchwelle2},
                                                      {LabelKundenname, txbxKundenname},
                                                      {LabelStrasse, txbxStrasse},
                                                      {LabelOrt, txbxOrt},
                                                      {LabelTelefon, txbxTelefon},
                                                      {LabelBemerkung, txbxBemerkung},
                                                      {LabelSMTPServer, txbxSMTPServer},
                                                      {LabelSMTPPort, txbxSMTPPort},
                                                      {LabelSTARTTLS, chbxSTARTTLS},
                                                      {LabelLogin, chbxLogin},
                                                      {LabelUserName, txbxUserName},
                                                      {LabelPassword, txbxPassword},
                                                      {LabelAbsenderEmail, txbxAbsenderEmail},
                                                      {LabelTank, lstbxTank},
                                                      {LabelBetreff, txbxBetreff},
                                                      {LabelStilleStunden, spinStilleStunden},
                                                      {LabelVerlustProzent, spinVerlustProzent}};
    for (const auto &[label, field] : buddies)
        label->setBuddy(field);
}

QLayout *frmEmail::buildLayout()
{
    // Left: when and to whom, and who the customer is; right: the mail
    // server and the tanks; below: the subject and the buttons.
    QGroupBox *reports = group(this);
    QGridLayout *g = formGrid(reports);
    g->addWidget(chbxEmail, 0, 0, 1, 2);
    // The recipients get the whole width: addresses are long.
    g->addWidget(LabelEmpfaenger1, 1, 0, 1, 2);
    g->addWidget(txbxEmpfaengerAdr[0], 2, 0, 1, 2);
    g->addWidget(LabelEmpfaenger2, 3, 0, 1, 2);
    g->addWidget(txbxEmpfaengerAdr[1], 4, 0, 1, 2);
    g->setRowMinimumHeight(5, 4);
    addRow(g, LabelAbstandNormal, ComboAbstand1);
    auto *raster = new QHBoxLayout;
    raster->setSpacing(8);
    raster->addWidget(LabelMelderastertext);
    raster->addWidget(txbxMelderaster);
    raster->addWidget(LabelMelderasterProzent);
    raster->addStretch(1);
    g->addLayout(raster, g->rowCount(), 1);
    auto *below = new QHBoxLayout;
    below->setSpacing(8);
    below->addWidget(ComboSchwelle2, 3);
    below->addWidget(ComboAbstand2, 2);
    addRow(g, LabelSchwelle2, below);
    auto *silence = new QHBoxLayout;
    silence->setSpacing(8);
    silence->addWidget(LabelStilleStunden);
    silence->addWidget(spinStilleStunden);
    silence->addStretch(1);
    g->addLayout(silence, g->rowCount(), 0, 1, 2);
    auto *loss = new QHBoxLayout;
    loss->setSpacing(8);
    loss->addWidget(LabelVerlustProzent);
    loss->addWidget(spinVerlustProzent);
    loss->addWidget(LabelVerlustStunden);
    loss->addWidget(spinVerlustStunden);
    loss->addStretch(1);
    g->addLayout(loss, g->rowCount(), 0, 1, 2);

    QGroupBox *customer = group(this);
    g = formGrid(customer);
    addRow(g, LabelKundenname, txbxKundenname);
    addRow(g, LabelStrasse, txbxStrasse);
    addRow(g, LabelOrt, txbxOrt);
    addRow(g, LabelTelefon, txbxTelefon);
    addRow(g, LabelBemerkung, txbxBemerkung);

    QGroupBox *server = group(this);
    g = formGrid(server);
    addRow(g, LabelSMTPServer, txbxSMTPServer);
    auto *port = new QHBoxLayout;
    port->addWidget(txbxSMTPPort);
    port->addStretch(1);
    addRow(g, LabelSMTPPort, port);
    addRow(g, LabelSTARTTLS, chbxSTARTTLS, Qt::AlignLeft);
    addRow(g, LabelLogin, chbxLogin, Qt::AlignLeft);
    addRow(g, LabelUserName, txbxUserName);
    addRow(g, LabelPassword, txbxPassword);
    addRow(g, LabelAbsenderEmail, txbxAbsenderEmail);
    for (QLineEdit *e : {txbxSMTPServer, txbxUserName, txbxPassword, txbxAbsenderEmail})
        e->setMinimumWidth(140);

    GroupTank = group(this);
    GroupTank->setObjectName(QStringLiteral("GroupTank"));
    auto *tv = new QVBoxLayout(GroupTank);
    tv->setContentsMargins(12, 8, 12, 10);
    tv->addWidget(LabelTank);
    tv->addWidget(lstbxTank);
    lstbxTank->setMinimumHeight(60);

    auto *left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(reports);
    left->addWidget(customer);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(server);
    right->addWidget(GroupTank, 1);
    right->addStretch(0);
    auto *columns = new QHBoxLayout;
    columns->setSpacing(12);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    QGroupBox *subject = group(this);
    auto *sv = new QVBoxLayout(subject);
    sv->setContentsMargins(12, 8, 12, 8);
    sv->setSpacing(4);
    auto *sh = new QHBoxLayout;
    sh->setSpacing(10);
    sh->addWidget(LabelBetreff);
    sh->addWidget(txbxBetreff, 1);
    sv->addLayout(sh);
    sv->addWidget(lblBetreffVorschau);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(cmdSchloss);
    buttons->addWidget(cmdTest);
    buttons->addWidget(cmdHilfe);
    buttons->addStretch(1);
    buttons->addWidget(CmdOk);
    buttons->addWidget(cmdCancel);

    // On a small screen the fields scroll; the buttons stay in view.
    auto *body = new QVBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(10);
    body->addLayout(columns, 1);
    body->addWidget(subject);
    auto *outer = new QVBoxLayout;
    outer->setContentsMargins(14, 12, 14, 12);
    outer->setSpacing(10);
    outer->addWidget(ScrollingBody(body, this), 1);
    outer->addLayout(buttons);
    return outer;
}

void frmEmail::wireEdits()
{
    EmailValues &v = logic_->values;
    auto bindText = [this](QLineEdit *e, QString *target) {
        connect(e, &QLineEdit::textEdited, this, [target](const QString &t) { *target = t; });
    };
    bindText(txbxEmpfaengerAdr[0], &v.empfaenger[0]);
    bindText(txbxEmpfaengerAdr[1], &v.empfaenger[1]);
    bindText(txbxMelderaster, &v.melderaster);
    bindText(txbxKundenname, &v.customer.kundenname);
    bindText(txbxStrasse, &v.customer.strasse);
    bindText(txbxOrt, &v.customer.ort);
    bindText(txbxTelefon, &v.customer.telefon);
    bindText(txbxBemerkung, &v.customer.bemerkung);
    bindText(txbxSMTPServer, &v.server.host);
    bindText(txbxSMTPPort, &v.server.port);
    bindText(txbxUserName, &v.server.userName);
    bindText(txbxPassword, &v.server.password);
    bindText(txbxAbsenderEmail, &v.server.sender);

    auto bindCombo = [this](QComboBox *c, int *target) {
        connect(c, &QComboBox::activated, this, [c, target] { *target = SelectedItemData(c); });
    };
    bindCombo(ComboSchwelle2, &v.schwelle2);
    bindCombo(ComboAbstand1, &v.abstand1);
    bindCombo(ComboAbstand2, &v.abstand2);
    connect(spinStilleStunden, &QSpinBox::valueChanged, this, [&v](int h) { v.stilleStunden = h; });
    connect(spinVerlustProzent, &QDoubleSpinBox::valueChanged, this,
            [&v](double p) { v.verlustProzent = p; });
    connect(spinVerlustStunden, &QSpinBox::valueChanged, this, [&v](int h) { v.verlustStunden = h; });

    connect(chbxEmail, &QCheckBox::clicked, this, [&v](bool on) { v.aktiv = on; });
    connect(chbxSTARTTLS, &QCheckBox::clicked, this, [&v](bool on) { v.server.startTls = on; });
    connect(chbxLogin, &QCheckBox::clicked, logic_.get(), &EmailDialogLogic::setLogin);

    connect(lstbxTank, &QListWidget::itemSelectionChanged, this, [this] {
        QList<bool> &sel = logic_->values.tanks;
        for (int i = 0; i < lstbxTank->count() && i < sel.size(); ++i)
            sel[i] = lstbxTank->item(i)->isSelected();
    });
    connect(lstbxTank, &QListWidget::currentRowChanged, logic_.get(), &EmailDialogLogic::setCurrentTank);
}

void frmEmail::showFields()
{
    const EmailValues &v = logic_->values;
    chbxEmail->setChecked(v.aktiv);
    txbxEmpfaengerAdr[0]->setText(v.empfaenger[0]);
    txbxEmpfaengerAdr[1]->setText(v.empfaenger[1]);
    SelectByItemData(ComboSchwelle2, v.schwelle2);
    SelectByItemData(ComboAbstand1, v.abstand1);
    SelectByItemData(ComboAbstand2, v.abstand2);
    txbxMelderaster->setText(v.melderaster);
    spinStilleStunden->setValue(v.stilleStunden);
    spinVerlustProzent->setValue(v.verlustProzent);
    spinVerlustStunden->setValue(v.verlustStunden);
    txbxKundenname->setText(v.customer.kundenname);
    txbxStrasse->setText(v.customer.strasse);
    txbxOrt->setText(v.customer.ort);
    txbxTelefon->setText(v.customer.telefon);
    txbxBemerkung->setText(v.customer.bemerkung);
    txbxSMTPServer->setText(v.server.host);
    txbxSMTPPort->setText(v.server.port);
    chbxSTARTTLS->setChecked(v.server.startTls);
    chbxLogin->setChecked(v.server.login);
    txbxUserName->setText(v.server.userName);
    txbxPassword->setText(v.server.password);
    txbxAbsenderEmail->setText(v.server.sender);

    {
        const QSignalBlocker block(lstbxTank);
        lstbxTank->clear();
        for (int i = 0; i < logic_->tankTexts.size(); ++i) {
            AddListItem(lstbxTank, logic_->tankTexts[i], i + 1);
            lstbxTank->item(i)->setSelected(v.tanks.value(i));
        }
        lstbxTank->setCurrentRow(logic_->currentTank(), QItemSelectionModel::NoUpdate);
    }
    const bool shown = logic_->tankListShown();
    GroupTank->setVisible(shown);
}

void frmEmail::showSubject()
{
    QFont f = txbxBetreff->font();
    f.setBold(logic_->subjectEditing());
    txbxBetreff->setFont(f);
    txbxBetreff->setText(logic_->subjectText());
    lblBetreffVorschau->hide(); // shown again by the next key typed
}

void frmEmail::EnableSettings()
{
    const bool on = logic_->inputsEnabled();
    cmdSchloss->setIcon(lockIcon(logic_->locked(), devicePixelRatioF()));
    const QList<QWidget *> inputs{
        chbxEmail,          txbxEmpfaengerAdr[0], txbxEmpfaengerAdr[1], ComboSchwelle2,     ComboAbstand1,
        ComboAbstand2,      txbxMelderaster,      txbxKundenname,       txbxStrasse,        txbxOrt,
        txbxTelefon,        txbxBemerkung,        txbxSMTPServer,       txbxSMTPPort,       chbxSTARTTLS,
        chbxLogin,          txbxAbsenderEmail,    txbxBetreff,          lstbxTank,          LabelSMTPServer,
        LabelSMTPPort,      LabelSTARTTLS,        LabelLogin,           LabelAbsenderEmail, spinStilleStunden,
        spinVerlustProzent, spinVerlustStunden};
    for (QWidget *w : inputs)
        w->setEnabled(on);
    const bool login = logic_->loginFieldsEnabled();
    for (QWidget *w : {static_cast<QWidget *>(txbxUserName), static_cast<QWidget *>(LabelUserName),
                       static_cast<QWidget *>(txbxPassword), static_cast<QWidget *>(LabelPassword)})
        w->setEnabled(login);
}

bool frmEmail::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txbxPassword && event->type() == QEvent::KeyPress) {
        // The password is not to be copied out of the dialog.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut))
            return true;
    }
    if (watched == txbxBetreff && event->type() == QEvent::FocusIn)
        logic_->subjectFocusIn();
    if (watched == txbxBetreff && event->type() == QEvent::FocusOut)
        logic_->subjectFocusOut(txbxBetreff->text());
    return QDialog::eventFilter(watched, event);
}
