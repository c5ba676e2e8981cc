#include "FrmZentrale.h"
#include "DialogButtons.h"
#include "KeyboardAccess.h"
#include "SingleWindow.h"

#include "central/CentralDialogLogic.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"

#include <QPushButton>
#include <QVBoxLayout>

frmZentrale *frmZentrale::ShowDialog(QPointer<frmZentrale> &open, std::unique_ptr<CentralDialogLogic> logic,
                                     HelpFn help, QWidget *parent)
{
    return ShowSingle(open, [&] { return new frmZentrale(std::move(logic), std::move(help), parent); });
}

frmZentrale::frmZentrale(std::unique_ptr<CentralDialogLogic> logic, HelpFn help, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic)), help_(std::move(help))
{
    setObjectName(QStringLiteral("frmZentrale"));
    const CentralDialogLogic::Captions c = CentralDialogLogic::captions(logic_->texts());
    const CentralValues &v = logic_->values;
    setWindowTitle(c.window);
    auto *form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    addBrokerRows(this, form, c, v);
    txtFilter = new QLineEdit(v.filter, this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    spinMinuten = new QSpinBox(this);
    spinMinuten->setObjectName(QStringLiteral("spinMinuten"));
    spinMinuten->setRange(0, 1440);
    spinMinuten->setValue(v.digestMinutes);
    form->addRow(Label(c.filter), txtFilter);
    form->addRow(Label(c.digest), spinMinuten);
    CmdOk = new QPushButton(c.ok, this);
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(c.cancel, this);
    cmdHilfe = new QPushButton(c.help, this);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(14);
    outer->addLayout(form);
    outer->addLayout(HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel));
    AssignAccessKeys(this);

    connect(CmdOk, &QPushButton::clicked, this, &frmZentrale::CmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmZentrale);
}

frmZentrale::~frmZentrale() = default;

void frmZentrale::CmdOk_Click()
{
    CentralValues &v = logic_->values;
    takeBrokerFields(v);
    v.filter = txtFilter->text();
    v.digestMinutes = spinMinuten->value();
    if (logic_->Ok())
        close();
}
