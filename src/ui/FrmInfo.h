#pragma once
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class BrandLogo;
class UiServices;
class Texts;
struct RunConfig;

// The about box: program title, version, contact block of the maker (or of
// the partner with the partner branding), web link and the logo's sound.
class frmInfo : public QDialog
{
    Q_OBJECT
public:
    frmInfo(const RunConfig &config, UiServices &ui, const Texts &texts, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void playInfoSound();

    // Object names as the members.
    QLabel *lblTitel;
    QLabel *lblVersion;
    QLabel *lblCopyright;
    QPlainTextEdit *txbxAdresse;
    QLabel *lblEmail;
    QLabel *lblURL;
    BrandLogo *Image1;
    QPushButton *OK;

    UiServices &ui_;
    const Texts &texts_; // the run's
};
