#include "FrmLogClient.h"
#include "DialogButtons.h"

#include "FolderChooser.h"
#include "KeyboardAccess.h"

#include "app/MenuCommands.h"
#include "help/HelpTopics.h"
#include "lang/Lng.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

frmLogClient::frmLogClient(ClientPathLogic &logic, bool atEntry, HelpFn help, QWidget *parent)
    : QDialog(parent), logic_(logic), help_(std::move(help))
{
    setObjectName(QStringLiteral("frmLogClient"));
    setWindowTitle(LngText(908));
    cmdHilfe = new QPushButton(LngText(250), this);
    cmdCancel = new QPushButton(LngText(251), this);
    CmdOk = new QPushButton(LngText(252), this);
    CmdOk->setDefault(true);
    lblPfadIniDatei = new QLabel(LngText(909), this);
    txbxINIPath = new QLineEdit(logic_.clientPath(), this);
    txbxINIPath->setMinimumWidth(360);
    cmdINIPath = new QPushButton(QStringLiteral("…"), this);
    cmdINIPath->setFixedWidth(cmdINIPath->sizeHint().height() + 8);
    lblPfadIniDatei->setBuddy(txbxINIPath);
    AssignAccessKeys(this);

    // The label says what the folder is for: a line of its own above it.
    lblPfadIniDatei->setWordWrap(true);
    auto *row = new QHBoxLayout;
    row->addWidget(txbxINIPath, 1);
    row->addWidget(cmdINIPath);
    auto *buttons = HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel);
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(16);
    auto *field = new QVBoxLayout;
    field->setSpacing(4);
    field->addWidget(lblPfadIniDatei);
    field->addLayout(row);
    outer->addLayout(field);
    outer->addLayout(buttons);

    connect(cmdINIPath, &QPushButton::clicked, this, [this] {
        ChooseFolder(this, LngText(241), txbxINIPath->text(),
                     [box = QPointer<QLineEdit>(txbxINIPath)](const QString &folder) {
                         if (box)
                             box->setText(folder);
                     });
    });
    // A right folder restarts the program; a wrong one is said, and the
    // dialog takes another.
    connect(CmdOk, &QPushButton::clicked, this, [this] {
        setEnabled(false);
        logic_.storeClientPath(txbxINIPath->text(), [self = QPointer<frmLogClient>(this)] {
            if (self)
                self->setEnabled(true);
        });
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this, atEntry] { logic_.clientPathCancelled(atEntry); });
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmLogClient);
}
