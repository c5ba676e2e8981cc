#pragma once
#include "FrmHilfe.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class ComDialogLogic;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The interface dialog: a view over ComDialogLogic, which holds what it does.
// Not modal; one at a time.
class frmCOM : public QDialog
{
    Q_OBJECT
public:
    // Shows the dialog, then lists the ports; raises the one in open instead
    // when there is one (one at a time).
    static frmCOM *ShowDialog(QPointer<frmCOM> &open, std::unique_ptr<ComDialogLogic> logic, HelpFn help = {},
                              QWidget *parent = nullptr);

    explicit frmCOM(std::unique_ptr<ComDialogLogic> logic, HelpFn help = {}, QWidget *parent = nullptr);
    ~frmCOM() override;
    ComDialogLogic &logic() { return *logic_; }

private:
    QComboBox *ComboCOM;
    QCheckBox *CheckAktivCom;
    QCheckBox *CheckAktivNet;
    QLineEdit *txbxClientPort;
    QLineEdit *txbxClientAdresse;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;
    QLabel *lblErklaerung;
    QLabel *LabelCom;
    QLabel *lblAktiv;
    QLabel *LabelClientPort;
    QLabel *LabelClientAdresse;

    void rebuildList();
    void showSelection(int index);
    void showFields();
    void takeFields();

    std::unique_ptr<ComDialogLogic> logic_;
};
