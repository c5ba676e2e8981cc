#pragma once
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class BrandLogo;

// The about box: program title, version, contact block of the maker (or of
// the partner with the partner branding), web link and the logo's sound.
class FrmInfo : public QDialog {
    Q_OBJECT
public:
    explicit FrmInfo(QWidget *parent = nullptr);

    // "V3.02", or "V3.02.01" when there is a revision.
    static QString VersionText(int major, int minor, int revision);
    // The program's version from the application ("3.2.0").
    static QString ProgramVersionText();

    QLabel *lblTitel;
    QLabel *lblVersion;
    QLabel *lblCopyright;
    QPlainTextEdit *txbxAdresse;
    QLabel *lblEmail;
    QLabel *lblURL;
    BrandLogo *Image1;
    QPushButton *OK;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void playInfoSound();
};
