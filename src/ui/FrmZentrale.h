#pragma once
#include "BrokerFields.h"
#include "FrmHilfe.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class CentralDialogLogic;
class QPushButton;

// The central installation's settings dialog: a view over
// CentralDialogLogic. Not modal; one at a time.
class frmZentrale : public QDialog, public BrokerFields
{
    Q_OBJECT
public:
    // Shows the dialog in open, or a new one over logic.
    static frmZentrale *ShowDialog(QPointer<frmZentrale> &open, std::unique_ptr<CentralDialogLogic> logic,
                                   HelpFn help, QWidget *parent = nullptr);
    frmZentrale(std::unique_ptr<CentralDialogLogic> logic, HelpFn help, QWidget *parent = nullptr);
    ~frmZentrale() override;

    QLineEdit *txtFilter;
    QSpinBox *spinMinuten;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;

private:
    void CmdOk_Click();

    std::unique_ptr<CentralDialogLogic> logic_;
    HelpFn help_;
};
