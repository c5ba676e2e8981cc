// The e-mail settings dialog offscreen: a first start, the lock, OK and Cancel.
#include "support/Fixtures.h"

#include "email/EmailDialogLogic.h"
#include "email/PasswordScramble.h"
#include "ui/FrmEmail.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

namespace {

// A control of the dialog by its object name.
template <class T> T *child(QWidget *d, const char *name)
{
    T *w = d->findChild<T *>(QLatin1String(name));
    EXPECT_TRUE(w) << name;
    return w;
}

class EmailDialogTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        addTank(12345, QStringLiteral("Heizöl"));
        addTank(678, QStringLiteral("Diesel"));
    }
    void TearDown() override { delete dlg.data(); }

    void addTank(int sn, const QString &name)
    {
        DeviceRecord &r = devices[++devices.DeviceCount];
        r.SN = sn;
        r.Tankbezeichnung = name;
        r.Volumen = 500;
        r.Tankvolumen = 1000;
        r.Uhrzeit = now;
    }
    frmEmail *open()
    {
        TestMailFns fns{[this] { return busy; }, [this](int tank, const EmailValues &v) {
                            testMails << QStringLiteral("%1 %2").arg(tank).arg(v.server.host);
                        }};
        return frmEmail::ShowDialog(dlg, std::make_unique<EmailDialogLogic>(email, fns, ui, devices));
    }

    DeviceTable devices;
    EmailSettings email{settings, devices};
    bool busy = false;
    QStringList testMails;
    QPointer<frmEmail> dlg;
};

TEST_F(EmailDialogTest, FirstStartShowsTheDefaults)
{
    frmEmail *d = open();
    EXPECT_FALSE(child<QCheckBox>(d, "chbxEmail")->isChecked());
    EXPECT_EQ(child<QComboBox>(d, "ComboSchwelle2")->currentText(), "unter 10%");
    EXPECT_EQ(child<QComboBox>(d, "ComboAbstand1")->currentText(), "monatlich");
    EXPECT_EQ(child<QLineEdit>(d, "txbxSMTPPort")->text(), "587");
    EXPECT_TRUE(child<QCheckBox>(d, "chbxSTARTTLS")->isChecked());
    EXPECT_EQ(child<QListWidget>(d, "lstbxTank")->count(), 2);
    EXPECT_EQ(child<QListWidget>(d, "lstbxTank")->item(0)->text(), "1 / SN12345");
    EXPECT_EQ(child<QListWidget>(d, "lstbxTank")->selectedItems().size(), 2);
    EXPECT_FALSE(child<QGroupBox>(d, "GroupTank")->isHidden());
    // The subject shows the default template with the first tank's values.
    EXPECT_TRUE(child<QLineEdit>(d, "txbxBetreff")->text().endsWith("Tank 1 Heizöl"));

    EXPECT_EQ(d->windowTitle(), LngText(134));

    // A single tank: no list, but its selection is still saved.
    delete dlg.data();
    devices.DeviceCount = 1;
    d = open();
    EXPECT_TRUE(child<QGroupBox>(d, "GroupTank")->isHidden());
    QTest::mouseClick(child<QPushButton>(d, "CmdOk"), Qt::LeftButton);
    EXPECT_TRUE(QString::fromLatin1(readBytes(iniPath())).contains("[Gerät1]\r\nEmailAktiv=1"));
}

TEST_F(EmailDialogTest, LockAndUnlockWithPasswordOrServiceCode)
{
    frmEmail *d = open();
    // Unticking the login disables the user and password at once.
    QTest::mouseClick(child<QCheckBox>(d, "chbxLogin"), Qt::LeftButton);
    EXPECT_FALSE(child<QLineEdit>(d, "txbxPassword")->isEnabled());
    EXPECT_TRUE(child<QLineEdit>(d, "txbxSMTPServer")->isEnabled());

    ui.inputs = {QString(), QStringLiteral("geheim"), QStringLiteral("falsch"), QStringLiteral("54321")};
    child<QToolButton>(d, "cmdSchloss")->click(); // empty: a beep, still open
    EXPECT_EQ(ui.count("beep"), 1);
    EXPECT_TRUE(child<QCheckBox>(d, "chbxEmail")->isEnabled());
    child<QToolButton>(d, "cmdSchloss")->click();
    EXPECT_EQ(ui.shown.last().text, LngText(83));
    EXPECT_EQ(settings.read(Cfg::Email::Passwort), ScramblePassword("geheim"));
    for (const char *name : {"chbxEmail", "txbxSMTPServer", "ComboAbstand1", "lstbxTank", "txbxBetreff", "LabelLogin"})
        EXPECT_FALSE(child<QWidget>(d, name)->isEnabled()) << name;
    EXPECT_TRUE(child<QPushButton>(d, "CmdOk")->isEnabled());

    // The lock holds when the dialog opens again.
    delete dlg.data();
    d = open();
    EXPECT_FALSE(child<QLineEdit>(d, "txbxKundenname")->isEnabled());
    child<QToolButton>(d, "cmdSchloss")->click(); // wrong password
    EXPECT_EQ(ui.count("beep"), 2);
    EXPECT_FALSE(child<QLineEdit>(d, "txbxKundenname")->isEnabled());
    child<QToolButton>(d, "cmdSchloss")->click(); // tank 1's serial number backwards
    EXPECT_EQ(ui.shown.last().text, LngText(85));
    EXPECT_TRUE(child<QLineEdit>(d, "txbxKundenname")->isEnabled());
    EXPECT_EQ(settings.read(Cfg::Email::Passwort), "");
}

TEST_F(EmailDialogTest, OkWritesEveryValueInItsOrderAndCancelNothing)
{
    const auto edit = [](frmEmail *d) {
        child<QLineEdit>(d, "txbxKundenname")->insert("Müller");
        QTest::keyClicks(child<QLineEdit>(d, "txbxPassword"), "pw");
        child<QComboBox>(d, "ComboSchwelle2")->setCurrentIndex(3);
        emit child<QComboBox>(d, "ComboSchwelle2")->activated(3);
        child<QListWidget>(d, "lstbxTank")->item(1)->setSelected(false);
    };
    frmEmail *d = open();
    edit(d);
    QTest::mouseClick(child<QPushButton>(d, "cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));
    EXPECT_FALSE(QFile::exists(iniPath()));

    d = open();
    edit(d);
    // The typed placeholder "<>" is stored as its code.
    child<QLineEdit>(d, "txbxBetreff")->setFocus();
    d->activateWindow();
    d->logic().subjectFocusIn();
    EXPECT_TRUE(child<QLineEdit>(d, "txbxBetreff")->font().bold());
    EXPECT_TRUE(child<QLineEdit>(d, "txbxBetreff")->text().startsWith(LngText(97)));
    d->logic().subjectFocusOut(child<QLineEdit>(d, "txbxBetreff")->text() + "<>");
    EXPECT_FALSE(child<QLineEdit>(d, "txbxBetreff")->font().bold());
    QTest::mouseClick(child<QPushButton>(d, "CmdOk"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));

    const QString expected = QString::fromUtf8(
        "[E-Mail]\r\nAktiv=0\r\nEmpfänger 1=\r\nEmpfänger 2=\r\nSchwelle 2=20\r\nAbstand 1 in h=744\r\n"
        "Abstand 2 in h=168\r\nMelderaster=10\r\nKundenname=Müller\r\nStrasse=\r\nOrt=\r\nTelefon=\r\n"
        "Bemerkung=\r\nSMTPServer=\r\nSMTPPort=587\r\nSTARTTLS=1\r\nLogin=1\r\nUserName=\r\nPassword=qu\r\n"
        "AbsenderEmail=\r\nBetreff=%13 %20 %10, %01, %04, %21 %15 %08%06\r\nStilleStunden=24\r\n"
        "[Gerät1]\r\nEmailAktiv=1\r\n[Gerät2]\r\nEmailAktiv=0\r\n");
    EXPECT_EQ(QString::fromLatin1(readBytes(iniPath())).replace("\r\n\r\n", "\r\n"), expected);
    EXPECT_EQ(ui.panelText(2), LngText(257));
}

TEST_F(EmailDialogTest, PasswordCannotBeCopiedOrCut)
{
    frmEmail *d = open();
    child<QLineEdit>(d, "txbxPassword")->setEchoMode(QLineEdit::Normal); // the filter, not the echo mode, refuses
    child<QLineEdit>(d, "txbxPassword")->setText("geheim");
    child<QLineEdit>(d, "txbxPassword")->selectAll();
    QApplication::clipboard()->setText("vorher");
    QTest::keyClick(child<QLineEdit>(d, "txbxPassword"), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(child<QLineEdit>(d, "txbxPassword"), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "vorher");
    EXPECT_EQ(child<QLineEdit>(d, "txbxPassword")->text(), "geheim");
}

TEST_F(EmailDialogTest, TestButtonAsksThenSendsWhatTheDialogShows)
{
    frmEmail *d = open();
    child<QListWidget>(d, "lstbxTank")->setCurrentRow(1);
    QTest::keyClicks(child<QLineEdit>(d, "txbxSMTPServer"), "mail.example"); // typed, not saved
    ui.answers = {MsgResult::Cancel, MsgResult::Ok};
    child<QToolButton>(d, "cmdTest")->click();
    child<QToolButton>(d, "cmdTest")->click();
    EXPECT_EQ(ui.texts(), QStringList({LngText(82), LngText(82)}));
    EXPECT_EQ(testMails, QStringList{"2 mail.example"});
    busy = true;
    child<QToolButton>(d, "cmdTest")->click();
    EXPECT_EQ(ui.texts().last(), "Busy");
    EXPECT_EQ(testMails.size(), 1);
}

} // namespace
