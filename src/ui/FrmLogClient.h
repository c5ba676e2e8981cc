#pragma once
#include "FrmHilfe.h"

#include <QDialog>

class ClientPathLogic;
class QLabel;
class QLineEdit;
class QPushButton;

// The client-path dialog: the folder of the serving installation's settings
// file. A view over its ClientPathLogic (the menu commands' OK and Cancel).
// Shown with open() (modal, never waited for).
class frmLogClient : public QDialog
{
    Q_OBJECT
public:
    // atEntry: shown by the program entry, where cancelling ends the program.
    frmLogClient(ClientPathLogic &logic, bool atEntry, HelpFn help, QWidget *parent = nullptr);

    QLabel *lblPfadIniDatei;
    QLineEdit *txbxINIPath;
    QPushButton *cmdINIPath;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;

private:
    ClientPathLogic &logic_;
    HelpFn help_;
};
