#pragma once
#include <QDialog>
#include <QPointer>
#include <memory>

class EmailDialogLogic;
class QCheckBox;
class QGroupBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QToolButton;

// The e-mail settings dialog: a view over EmailDialogLogic, which holds what
// it does. Every edit goes to the logic at once. Not modal; one at a time.
class frmEmail : public QDialog
{
    Q_OBJECT
public:
    // Loads and shows a new dialog, or raises the one in open.
    static frmEmail *ShowDialog(QPointer<frmEmail> &open, std::unique_ptr<EmailDialogLogic> logic,
                                QWidget *parent = nullptr);

    explicit frmEmail(std::unique_ptr<EmailDialogLogic> logic, QWidget *parent = nullptr);
    ~frmEmail() override;
    EmailDialogLogic &logic() { return *logic_; }

signals:
    // The help button: the page of this dialog.
    void helpRequested(const QString &topic);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Object names as the members (the recipients: txbxEmpfaengerAdr0 and 1).
    QCheckBox *chbxEmail;
    QLineEdit *txbxEmpfaengerAdr[2];
    QComboBox *ComboSchwelle2;
    QComboBox *ComboAbstand1;
    QComboBox *ComboAbstand2;
    QLineEdit *txbxMelderaster;
    QSpinBox *spinStilleStunden;
    QDoubleSpinBox *spinVerlustProzent;
    QSpinBox *spinVerlustStunden;
    QLineEdit *txbxKundenname;
    QLineEdit *txbxStrasse;
    QLineEdit *txbxOrt;
    QLineEdit *txbxTelefon;
    QLineEdit *txbxBemerkung;
    QLineEdit *txbxSMTPServer;
    QLineEdit *txbxSMTPPort;
    QCheckBox *chbxSTARTTLS;
    QCheckBox *chbxLogin;
    QLineEdit *txbxUserName;
    QLineEdit *txbxPassword;
    QLineEdit *txbxAbsenderEmail;
    QLineEdit *txbxBetreff;
    QListWidget *lstbxTank;
    QToolButton *cmdSchloss;
    QToolButton *cmdTest;
    QPushButton *cmdHilfe;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;

    QLabel *LabelTank;
    QLabel *LabelBetreff;
    QLabel *LabelBemerkung;
    QLabel *LabelTelefon;
    QLabel *LabelOrt;
    QLabel *LabelStrasse;
    QLabel *LabelKundenname;
    QLabel *LabelEmpfaenger1;
    QLabel *LabelEmpfaenger2;
    QLabel *lblBetreffVorschau;
    QLabel *LabelAbsenderEmail;
    QLabel *LabelMelderasterProzent;
    QLabel *LabelMelderastertext;
    QLabel *LabelAbstandNormal;
    QLabel *LabelSchwelle2;
    QLabel *LabelStilleStunden;
    QLabel *LabelVerlustProzent;
    QLabel *LabelVerlustStunden;
    QLabel *LabelSMTPServer;
    QLabel *LabelSMTPPort;
    QLabel *LabelSTARTTLS;
    QLabel *LabelLogin;
    QLabel *LabelUserName;
    QLabel *LabelPassword;
    QGroupBox *GroupTank;

    void buildControls();
    QLayout *buildLayout();
    void wireEdits();
    void showFields();
    void showSubject();
    void EnableSettings();

    std::unique_ptr<EmailDialogLogic> logic_;
};
