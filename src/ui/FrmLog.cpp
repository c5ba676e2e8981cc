#include "FrmLog.h"
#include "DialogButtons.h"
#include "SingleWindow.h"

#include "FolderChooser.h"
#include "KeyboardAccess.h"
#include "ListHelpers.h"
#include "UiLook.h"

#include "app/LogDialogLogic.h"
#include "help/HelpTopics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
void Mirror(QComboBox *combo, const ItemList &list)
{
    combo->clear();
    for (int i = 0; i < list.count(); ++i)
        AddListItem(combo, list.at(i).text, list.at(i).number);
    combo->setCurrentIndex(list.currentIndex());
}
} // namespace

frmLog *frmLog::ShowDialog(QPointer<frmLog> &open, std::unique_ptr<LogDialogLogic> logic, HelpFn help,
                           QWidget *parent)
{
    return ShowSingle(open, [&] { return new frmLog(std::move(logic), std::move(help), parent); });
}

frmLog::frmLog(std::unique_ptr<LogDialogLogic> logic, HelpFn help, QWidget *parent)
    : QDialog(parent), logic_(std::move(logic)), help_(std::move(help))
{
    setObjectName(QStringLiteral("frmLog"));
    const LogDialogLogic::Captions c = LogDialogLogic::captions();
    setWindowTitle(c.window);

    chbxLogFile = new QCheckBox(c.logFile, this);
    ComboLogFile = new QComboBox(this);
    chbxLogIni = new QCheckBox(c.logIni, this);
    ComboLogIni = new QComboBox(this);
    lblPfadIniDatei = new QLabel(c.path, this);
    txbxINIPath = new QLineEdit(this);
    txbxINIPath->setMinimumWidth(320);
    cmdINIPath = new QPushButton(QStringLiteral("…"), this);
    cmdINIPath->setFixedWidth(cmdINIPath->sizeHint().height() + 8);
    Label1 = new QLabel(c.note, this);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = new QLabel(c.noteText, this);
    Label2->setWordWrap(true);
    CmdOk = new QPushButton(c.ok, this);
    CmdOk->setDefault(true);
    cmdCancel = new QPushButton(c.cancel, this);
    cmdHilfe = new QPushButton(c.help, this);
    lblPfadIniDatei->setBuddy(txbxINIPath);
    lblFolderProblem = new QLabel(this);
    lblFolderProblem->setObjectName(QStringLiteral("lblFolderProblem"));
    lblFolderProblem->setWordWrap(true);
    UiLook::SetTextColour(lblFolderProblem, QColor(0xb7, 0x1c, 0x1c));
    lblFolderProblem->hide();

    // Load: the values in memory, the lists at their nearest entries.
    chbxLogFile->setChecked(logic_->logFile);
    chbxLogIni->setChecked(logic_->logIni);
    Mirror(ComboLogFile, logic_->comboLogFile);
    Mirror(ComboLogIni, logic_->comboLogIni);
    txbxINIPath->setText(logic_->folder);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->addWidget(chbxLogFile, 0, 0);
    grid->addWidget(ComboLogFile, 0, 1, 1, 2);
    grid->addWidget(chbxLogIni, 1, 0);
    grid->addWidget(ComboLogIni, 1, 1, 1, 2);
    grid->addWidget(lblPfadIniDatei, 2, 0);
    grid->addWidget(txbxINIPath, 2, 1);
    grid->addWidget(cmdINIPath, 2, 2);
    grid->addWidget(lblFolderProblem, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *note = new QFrame(this);
    note->setFrameShape(QFrame::StyledPanel);
    auto *noteLayout = new QVBoxLayout(note);
    noteLayout->addWidget(Label1);
    noteLayout->addWidget(Label2);

    auto *buttons = HelpOkCancelRow(cmdHilfe, CmdOk, cmdCancel);

    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(14);
    outer->addLayout(grid);
    outer->addWidget(note);
    outer->addLayout(buttons);

    connect(cmdINIPath, &QPushButton::clicked, this, [this] {
        ChooseFolder(this, chbxLogIni->text(), txbxINIPath->text(),
                     [box = QPointer<QLineEdit>(txbxINIPath)](const QString &folder) {
                         if (box)
                             box->setText(folder);
                     });
    });
    AssignAccessKeys(this);

    connect(CmdOk, &QPushButton::clicked, this, &frmLog::CmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    ConnectHelp(cmdHilfe, help_, HelpTopic::frmLog);
}

frmLog::~frmLog() = default;

void frmLog::CmdOk_Click()
{
    logic_->logFile = chbxLogFile->isChecked();
    logic_->logIni = chbxLogIni->isChecked();
    logic_->comboLogFile.setCurrentIndex(ComboLogFile->currentIndex());
    logic_->comboLogIni.setCurrentIndex(ComboLogIni->currentIndex());
    logic_->folder = txbxINIPath->text();
    // A folder that cannot hold the tank files is said; the dialog stays for another.
    const QString problem = logic_->Ok();
    lblFolderProblem->setText(problem);
    lblFolderProblem->setVisible(!problem.isEmpty());
    if (!problem.isEmpty()) {
        adjustSize(); // room for the wrapped reason
        txbxINIPath->setFocus();
        return;
    }
    close();
}
