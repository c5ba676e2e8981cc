#include "FrmWeb.h"
#include "DialogButtons.h"
#include "KeyboardAccess.h"
#include "SingleWindow.h"

#include "core/UiServices.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"
#include "web/WebPassword.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

frmWeb *frmWeb::ShowDialog(QPointer<frmWeb> &open, const WebValues &stored, UiServices &ui,
                           const Texts &texts, Apply apply, HelpFn help, QWidget *parent)
{
    return ShowSingle(
        open, [&] { return new frmWeb(stored, ui, texts, std::move(apply), std::move(help), parent); });
}

frmWeb::frmWeb(const WebValues &stored, UiServices &ui, const Texts &texts, Apply apply, HelpFn help,
               QWidget *parent)
    : QDialog(parent), stored_(stored), ui_(ui), texts_(texts), apply_(std::move(apply)),
      help_(std::move(help))
{
    setObjectName(QStringLiteral("frmWeb"));
    setWindowTitle(texts_(1000));
    auto edit = [this](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    chbxAktiv = new QCheckBox(texts_(1001), this);
    chbxAktiv->setObjectName(QStringLiteral("chbxAktiv"));
    chbxAktiv->setChecked(stored.aktiv);
    txtAdresse = edit("txtAdresse", stored.adresse);
    txtAdresse->setMinimumWidth(320);
    spinPort = new QSpinBox(this);
    spinPort->setObjectName(QStringLiteral("spinPort"));
    spinPort->setRange(1, 65535);
    spinPort->setValue(stored.port);
    txtUserName = edit("txtUserName", stored.userName);
    txtPassword = edit("txtPassword", QString());
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setPlaceholderText(texts_(1014));
    txtZertifikat = edit("txtZertifikat", stored.zertifikat);
    txtSchluessel = edit("txtSchluessel", stored.schluessel);
    txtHostnamen = edit("txtHostnamen", stored.hostnamen);
    lblUrl = new QLabel(this);
    lblUrl->setObjectName(QStringLiteral("lblUrl"));
    lblUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CmdOk = new QPushButton(texts_(230), this);
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(texts_(229), this);
    cmdHilfe = new QPushButton(texts_(226), this);

    auto *form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->addRow(chbxAktiv);
    form->addRow(texts_(1002), txtAdresse);
    form->addRow(texts_(1003), spinPort);
    form->addRow(texts_(1004), txtUserName);
    form->addRow(texts_(1005), txtPassword);
    form->addRow(texts_(1006), txtZertifikat);
    form->addRow(texts_(1007), txtSchluessel);
    form->addRow(texts_(1017), txtHostnamen);
    form->addRow(lblUrl);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(14);
    outer->addLayout(form);
    outer->addLayout(HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel));
    AssignAccessKeys(this);

    for (QLineEdit *e : {txtAdresse, txtZertifikat, txtSchluessel})
        connect(e, &QLineEdit::textChanged, this, &frmWeb::showUrl);
    connect(spinPort, &QSpinBox::valueChanged, this, &frmWeb::showUrl);
    connect(CmdOk, &QPushButton::clicked, this, &frmWeb::CmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmWeb);
    showUrl();
}

WebValues frmWeb::fieldValues() const
{
    WebValues v = stored_;
    v.aktiv = chbxAktiv->isChecked();
    v.adresse = txtAdresse->text().trimmed();
    v.port = spinPort->value();
    v.userName = txtUserName->text();
    v.zertifikat = txtZertifikat->text().trimmed();
    v.schluessel = txtSchluessel->text().trimmed();
    v.hostnamen = txtHostnamen->text().trimmed();
    // Only a typed password replaces the stored one; the hash is made at OK.
    if (!txtPassword->text().isEmpty())
        v.password = QStringLiteral("new");
    return v;
}

void frmWeb::showUrl()
{
    lblUrl->setText(texts_(1008).replace(QLatin1String("%s"), WebUrl(fieldValues())));
}

void frmWeb::CmdOk_Click()
{
    WebValues v = fieldValues();
    if (!WebHostNames(v.hostnamen)) {
        ui_.messageBox(texts_(1017) + QStringLiteral(": ") + texts_(1019), QString(), MsgIcon::Exclamation,
                       MsgButtons::Ok);
        return;
    }
    if (v.aktiv) {
        if (const QString problem = WebStartProblem(v, texts_); !problem.isEmpty()) {
            ui_.messageBox(problem, QString(), MsgIcon::Exclamation, MsgButtons::Ok);
            return;
        }
    }
    if (!txtPassword->text().isEmpty())
        v.password = NewWebPasswordHash(txtPassword->text());
    txtPassword->clear(); // the password itself stays nowhere
    apply_(v);
    close();
}
