#pragma once
#include "FrmHilfe.h"

#include "web/WebSettings.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class Texts;
class UiServices;

// The web view's settings (section "Web"): not modal, one at a time. The
// password field shows nothing; typed in, it replaces the stored hash. OK
// refuses values the server would refuse to start with and says why.
class frmWeb : public QDialog
{
    Q_OBJECT
public:
    using Apply = std::function<void(const WebValues &)>;
    static frmWeb *ShowDialog(QPointer<frmWeb> &open, const WebValues &stored, UiServices &ui,
                              const Texts &texts, Apply apply, HelpFn help, QWidget *parent = nullptr);
    frmWeb(const WebValues &stored, UiServices &ui, const Texts &texts, Apply apply, HelpFn help,
           QWidget *parent = nullptr);

    QCheckBox *chbxAktiv;
    QLineEdit *txtAdresse;
    QSpinBox *spinPort;
    QLineEdit *txtUserName;
    QLineEdit *txtPassword;
    QLineEdit *txtZertifikat;
    QLineEdit *txtSchluessel;
    QLineEdit *txtHostnamen;
    QLabel *lblUrl;
    QPushButton *CmdOk;
    QPushButton *cmdCancel;
    QPushButton *cmdHilfe;

private:
    WebValues fieldValues() const;
    void showUrl();
    void CmdOk_Click();

    WebValues stored_;
    UiServices &ui_;
    const Texts &texts_; // the run's
    Apply apply_;
    HelpFn help_;
};
