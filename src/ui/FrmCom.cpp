#include "FrmCom.h"
#include "DialogButtons.h"
#include "SingleWindow.h"

#include "KeyboardAccess.h"
#include "ListHelpers.h"

#include "help/HelpTopics.h"
#include "lang/Lng.h"
#include "link/ComDialogLogic.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmCOM *frmCOM::ShowDialog(QPointer<frmCOM> &open, std::unique_ptr<ComDialogLogic> logic, HelpFn help,
                           QWidget *parent)
{
    const bool fresh = !open;
    ShowSingle(open, [&] { return new frmCOM(std::move(logic), std::move(help), parent); });
    // Loaded once visible: listing the ports can take a moment.
    if (fresh)
        open->logic().Load();
    return open;
}

frmCOM::frmCOM(std::unique_ptr<ComDialogLogic> logic, HelpFn help, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic))
{
    setObjectName(QStringLiteral("frmCOM"));
    const Texts &t = logic_->texts();
    const ComDialogLogic::Captions c = ComDialogLogic::captions(t);
    setWindowTitle(c.window);

    LabelCom = new QLabel(c.labelCom, this);
    lblAktiv = new QLabel(c.labelAktiv, this);
    ComboCOM = new QComboBox(this);
    ComboCOM->setMinimumContentsLength(32);
    ComboCOM->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CheckAktivCom = new QCheckBox(QStringLiteral("COM"), this);
    CheckAktivNet = new QCheckBox(QStringLiteral("TCP/IP"), this);
    LabelClientPort = new QLabel(QStringLiteral("Port:"), this);
    txbxClientPort = new QLineEdit(this);
    txbxClientPort->setMaxLength(5);
    txbxClientPort->setFixedWidth(txbxClientPort->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
                                  16);
    LabelClientAdresse = new QLabel(t(1201), this);
    txbxClientAdresse = new QLineEdit(this);
    txbxClientAdresse->setPlaceholderText(QStringLiteral("0.0.0.0"));
    txbxClientAdresse->setToolTip(t(1204));
    txbxClientAdresse->setFixedWidth(
        txbxClientAdresse->fontMetrics().horizontalAdvance(QStringLiteral("000.000.000.000")) + 16);
    LabelCom->setBuddy(ComboCOM);
    LabelClientPort->setBuddy(txbxClientPort);
    LabelClientAdresse->setBuddy(txbxClientAdresse);
    CmdOk = new QPushButton(c.ok, this);
    cmdCancel = new QPushButton(c.cancel, this);
    CmdOk->setDefault(true);
    ComboCOM->setObjectName(QStringLiteral("ComboCOM"));
    CheckAktivCom->setObjectName(QStringLiteral("CheckAktivCom"));
    CheckAktivNet->setObjectName(QStringLiteral("CheckAktivNet"));
    txbxClientPort->setObjectName(QStringLiteral("txbxClientPort"));
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdHilfe = new QPushButton(t(250), this);
    // What each switch means, and neither, in one sentence each.
    lblErklaerung = new QLabel(t(901) + QLatin1Char('\n') + t(902) + QLatin1Char('\n') + t(903), this);
    lblErklaerung->setObjectName(QStringLiteral("lblErklaerung"));
    lblErklaerung->setWordWrap(true);

    // Switch, caption, field: one column each, the fields flush left.
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->addWidget(lblAktiv, 0, 0);
    grid->addWidget(CheckAktivCom, 1, 0);
    grid->addWidget(LabelCom, 1, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(ComboCOM, 1, 2);
    grid->addWidget(CheckAktivNet, 2, 0);
    grid->addWidget(LabelClientPort, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(txbxClientPort, 2, 2, Qt::AlignLeft);
    grid->addWidget(LabelClientAdresse, 3, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(txbxClientAdresse, 3, 2, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    auto *buttons = HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(16);
    outer->addLayout(grid);
    outer->addWidget(lblErklaerung);
    outer->addLayout(buttons);
    setTabOrder(CheckAktivCom, ComboCOM);
    setTabOrder(ComboCOM, CheckAktivNet);
    setTabOrder(CheckAktivNet, txbxClientPort);
    setTabOrder(txbxClientPort, txbxClientAdresse);
    setTabOrder(txbxClientAdresse, CmdOk);
    setTabOrder(CmdOk, cmdCancel);
    AssignAccessKeys(this);

    connect(logic_.get(), &ComDialogLogic::listChanged, this, &frmCOM::rebuildList);
    connect(logic_.get(), &ComDialogLogic::selectionChanged, this, &frmCOM::showSelection);
    connect(logic_.get(), &ComDialogLogic::fieldsChanged, this, &frmCOM::showFields);
    connect(logic_.get(), &ComDialogLogic::closeRequested, this, &QDialog::close);
    // Only the user's choice comes through here; the logic's own selections
    // are mirrored with the signals blocked.
    connect(ComboCOM, &QComboBox::activated, this, [this](int i) { logic_->select(i); });
    connect(CmdOk, &QPushButton::clicked, this, [this] {
        takeFields();
        logic_->Ok();
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { logic_->Cancel(); });
    ConnectHelp(cmdHilfe, help, HelpTopic::frmCOM);
}

frmCOM::~frmCOM() = default;

void frmCOM::rebuildList()
{
    const QSignalBlocker block(ComboCOM);
    ComboCOM->clear();
    const ItemList &l = logic_->ports();
    for (int i = 0; i < l.count(); ++i)
        AddListItem(ComboCOM, l.at(i).text, l.at(i).number);
}

void frmCOM::showSelection(int index)
{
    const QSignalBlocker block(ComboCOM);
    ComboCOM->setCurrentIndex(index);
}

void frmCOM::showFields()
{
    CheckAktivCom->setChecked(logic_->checkAktivCom());
    CheckAktivNet->setChecked(logic_->checkAktivNet());
    txbxClientPort->setText(logic_->clientPortText());
    txbxClientAdresse->setText(logic_->clientAddressText());
}

void frmCOM::takeFields()
{
    logic_->setCheckAktivCom(CheckAktivCom->isChecked());
    logic_->setCheckAktivNet(CheckAktivNet->isChecked());
    logic_->setClientPortText(txbxClientPort->text());
    logic_->setClientAddressText(txbxClientAdresse->text());
}
