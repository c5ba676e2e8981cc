#include "FrmZentrale.h"
#include "KeyboardAccess.h"
#include "SingleWindow.h"

#include "central/CentralDialogLogic.h"
#include "lang/Lng.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

frmZentrale *frmZentrale::ShowDialog(QPointer<frmZentrale> &open, std::unique_ptr<CentralDialogLogic> logic,
                                     QWidget *parent)
{
    return ShowSingle(open, [&] { return new frmZentrale(std::move(logic), parent); });
}

frmZentrale::frmZentrale(std::unique_ptr<CentralDialogLogic> logic, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic))
{
    setObjectName(QStringLiteral("frmZentrale"));
    const CentralDialogLogic::Captions c = CentralDialogLogic::captions(logic_->texts());
    const CentralValues &v = logic_->values;
    setWindowTitle(c.window);
    auto edit = [this](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto check = [this](const char *name, const QString &caption, bool on) {
        auto *b = new QCheckBox(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setChecked(on);
        return b;
    };
    auto spin = [this](const char *name, int lo, int hi, int value) {
        auto *s = new QSpinBox(this);
        s->setObjectName(QLatin1String(name));
        s->setRange(lo, hi);
        s->setValue(value);
        return s;
    };
    chbxAktiv = check("chbxAktiv", c.aktiv, v.aktiv);
    txtHost = edit("txtHost", v.host);
    txtHost->setMinimumWidth(280);
    spinPort = spin("spinPort", 1, 65535, v.port);
    chbxTLS = check("chbxTLS", c.tls, v.tls);
    txtUserName = edit("txtUserName", v.userName);
    txtPassword = edit("txtPassword", v.password);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtFilter = edit("txtFilter", v.filter);
    spinMinuten = spin("spinMinuten", 0, 1440, v.digestMinutes);
    CmdOk = new QPushButton(c.ok, this);
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(c.cancel, this);

    auto *form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    // Captions end in a colon, as in the other dialogs.
    const auto label = [](const QString &caption) { return caption + QLatin1Char(':'); };
    form->addRow(chbxAktiv);
    form->addRow(label(c.host), txtHost);
    form->addRow(label(c.port), spinPort);
    form->addRow(chbxTLS);
    form->addRow(label(c.userName), txtUserName);
    form->addRow(label(c.password), txtPassword);
    form->addRow(label(c.filter), txtFilter);
    form->addRow(label(c.digest), spinMinuten);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(CmdOk, QDialogButtonBox::AcceptRole);
    buttons->addButton(cmdCancel, QDialogButtonBox::RejectRole);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(14);
    outer->addLayout(form);
    outer->addWidget(buttons);
    AssignAccessKeys(this);

    connect(CmdOk, &QPushButton::clicked, this, &frmZentrale::CmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
}

frmZentrale::~frmZentrale() = default;

void frmZentrale::CmdOk_Click()
{
    CentralValues &v = logic_->values;
    v.aktiv = chbxAktiv->isChecked();
    v.host = txtHost->text();
    v.port = spinPort->value();
    v.tls = chbxTLS->isChecked();
    v.userName = txtUserName->text();
    v.password = txtPassword->text();
    v.filter = txtFilter->text();
    v.digestMinutes = spinMinuten->value();
    if (logic_->Ok())
        close();
}
