#pragma once
#include <QDialog>
#include <QPointer>
#include <memory>

class CentralDialogLogic;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The central installation's settings dialog: a view over
// CentralDialogLogic. Not modal; one at a time.
class frmZentrale : public QDialog
{
    Q_OBJECT
public:
    // Shows the dialog in open, or a new one over logic.
    static frmZentrale *ShowDialog(QPointer<frmZentrale> &open, std::unique_ptr<CentralDialogLogic> logic,
                                   QWidget *parent = nullptr);
    frmZentrale(std::unique_ptr<CentralDialogLogic> logic, QWidget *parent = nullptr);
    ~frmZentrale() override;

    QCheckBox *chbxAktiv;
    QLineEdit *txtHost;
    QSpinBox *spinPort;
    QCheckBox *chbxTLS;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;
    QLineEdit *txtFilter;
    QSpinBox *spinMinuten;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;

private:
    void CmdOk_Click();

    std::unique_ptr<CentralDialogLogic> logic_;
};
