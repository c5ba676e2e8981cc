#pragma once
#include "FrmHilfe.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class LogDialogLogic;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The log settings dialog: a view over LogDialogLogic. Not modal; one at a time.
class frmLog : public QDialog
{
    Q_OBJECT
public:
    // Shows the dialog in open, or a new one over logic.
    static frmLog *ShowDialog(QPointer<frmLog> &open, std::unique_ptr<LogDialogLogic> logic, HelpFn help,
                              QWidget *parent = nullptr);
    frmLog(std::unique_ptr<LogDialogLogic> logic, HelpFn help, QWidget *parent = nullptr);
    ~frmLog() override;

    QCheckBox *chbxLogFile;
    QComboBox *ComboLogFile;
    QCheckBox *chbxLogIni;
    QComboBox *ComboLogIni;
    QLabel *lblPfadIniDatei;
    QLabel *lblFolderProblem = nullptr; // why the folder typed is refused
    QLineEdit *txbxINIPath;
    QPushButton *cmdINIPath;
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;

private:
    void CmdOk_Click();

    std::unique_ptr<LogDialogLogic> logic_;
    HelpFn help_;
};
