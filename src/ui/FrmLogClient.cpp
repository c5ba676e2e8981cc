#include "FrmLogClient.h"
#include "DialogButtons.h"

#include "FolderChooser.h"
#include "KeyboardAccess.h"

#include "app/AppController.h"
#include "core/RunConfig.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

frmLogClient::frmLogClient(AppController &app, bool atEntry, HelpFn help, QWidget *parent)
    : QDialog(parent), app_(app), help_(std::move(help))
{
    setObjectName(QStringLiteral("frmLogClient"));
    setWindowTitle(LngText(249));
    cmdHilfe = new QPushButton(LngText(250), this);
    cmdCancel = new QPushButton(LngText(251), this);
    CmdOk = new QPushButton(LngText(252), this);
    CmdOk->setDefault(true);
    lblPfadIniDatei = new QLabel(LngText(253), this);
    txbxINIPath = new QLineEdit(app_.switches().clientPath(), this);
    txbxINIPath->setMinimumWidth(360);
    cmdINIPath = new QPushButton(QStringLiteral("…"), this);
    cmdINIPath->setFixedWidth(cmdINIPath->sizeHint().height() + 8);
    lblPfadIniDatei->setBuddy(txbxINIPath);
    AssignAccessKeys(this);

    auto *row = new QHBoxLayout;
    row->addWidget(lblPfadIniDatei);
    row->addWidget(txbxINIPath, 1);
    row->addWidget(cmdINIPath);
    auto *buttons = HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(16);
    outer->addLayout(row);
    outer->addLayout(buttons);

    connect(cmdINIPath, &QPushButton::clicked, this, [this] {
        ChooseFolder(this, LngText(241), txbxINIPath->text(),
                     [box = QPointer<QLineEdit>(txbxINIPath)](const QString &folder) {
                         if (box)
                             box->setText(folder);
                     });
    });
    // The program ends after the box OK shows; the dialog stays until then.
    connect(CmdOk, &QPushButton::clicked, this, [this] {
        setEnabled(false);
        app_.storeClientPath(txbxINIPath->text());
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this, atEntry] { app_.clientPathCancelled(atEntry); });
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmLogClient);
}
