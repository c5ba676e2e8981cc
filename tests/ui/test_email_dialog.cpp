// The e-mail settings dialog offscreen: a first start, the lock, OK and Cancel.
#include "ui/UiTestSupport.h"

#include "email/EmailDialogLogic.h"
#include "ui/FrmEmail.h"

namespace
{

class EmailDialogTest : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        for (int sn : {12345, 678})
            devices[++devices.DeviceCount].SN = sn;
    }
    void TearDown() override { delete dlg.data(); }
    frmEmail *open()
    {
        TestMailFns fns{[this] { return busy; },
                        [this](int tank, const EmailValues &v) {
                            testMails << QStringLiteral("%1 %2").arg(tank).arg(v.server.host);
                        }};
        return frmEmail::ShowDialog(dlg, std::make_unique<EmailDialogLogic>(email, fns, ui, texts, devices));
    }

    DeviceTable devices;
    EmailSettings email{settings, devices};
    bool busy = false;
    QStringList testMails;
    QPointer<frmEmail> dlg;
};

// The test button asks, then sends what the dialog shows, not what is saved;
// the password field; the lock.
TEST_F(EmailDialogTest, TestMailPasswordNotCopiedLockAndUnlockWithPasswordOrServiceCode)
{
    frmEmail *d = open();
    Part<QListWidget>(d, "lstbxTank")->setCurrentRow(1);
    // Without a server, sender and recipient it says what is missing and sends nothing.
    Part<QToolButton>(d, "cmdTest")->click();
    ASSERT_EQ(ui.texts().size(), 1);
    for (const QString &field : {QString("SMTP-Server"), LngText(154).chopped(1), LngText(153).chopped(1)})
        EXPECT_TRUE(ui.texts().first().contains(field)) << qPrintable(field);
    ui.shown.clear();
    QTest::keyClicks(Part<QLineEdit>(d, "txbxSMTPServer"), "mail.example");
    QTest::keyClicks(Part<QLineEdit>(d, "txbxAbsenderEmail"), "tank@example.org");
    QTest::keyClicks(Part<QLineEdit>(d, "txbxEmpfaengerAdr1"), "service@example.org");
    ui.answers = {MsgResult::Cancel, MsgResult::Ok};
    for (bool busyNow : {false, false, true}) {
        busy = busyNow;
        Part<QToolButton>(d, "cmdTest")->click();
    }
    EXPECT_EQ(ui.texts(), QStringList({LngText(82), LngText(82), "Busy"}));
    EXPECT_EQ(testMails, QStringList{"2 mail.example"});

    // The password cannot be copied or cut (the filter refuses, not the echo mode).
    QLineEdit *password = Part<QLineEdit>(d, "txbxPassword");
    password->setEchoMode(QLineEdit::Normal);
    password->setText("geheim");
    password->selectAll();
    QApplication::clipboard()->setText("vorher");
    QTest::keyClick(password, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(password, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text() + "|" + password->text(), "vorher|geheim");

    ui.inputs = {QString(), QStringLiteral("geheim"), QStringLiteral("falsch"), QStringLiteral("54321")};
    Part<QToolButton>(d, "cmdSchloss")->click(); // empty: a beep, still open
    EXPECT_TRUE(ui.count("beep") == 1 && Part<QCheckBox>(d, "chbxEmail")->isEnabled());
    Part<QToolButton>(d, "cmdSchloss")->click();
    EXPECT_EQ(settings.read(Cfg::Email::Passwort), "fgkalk"); // as existing installations store it
    for (const char *name :
         {"chbxEmail", "txbxSMTPServer", "ComboAbstand1", "lstbxTank", "txbxBetreff", "LabelLogin"})
        EXPECT_FALSE(Part<QWidget>(d, name)->isEnabled()) << name;
    EXPECT_TRUE(Part<QPushButton>(d, "CmdOk")->isEnabled());

    // The lock holds when the dialog opens again.
    delete dlg.data();
    d = open();
    EXPECT_FALSE(Part<QLineEdit>(d, "txbxKundenname")->isEnabled());
    Part<QToolButton>(d, "cmdSchloss")->click(); // wrong password
    EXPECT_TRUE(ui.count("beep") == 2 && !Part<QLineEdit>(d, "txbxKundenname")->isEnabled());
    Part<QToolButton>(d, "cmdSchloss")->click(); // tank 1's serial number backwards
    EXPECT_TRUE(Part<QLineEdit>(d, "txbxKundenname")->isEnabled());
    EXPECT_EQ(settings.read(Cfg::Email::Passwort), "");
}

// A single tank: no list, but its selection is still saved; two: the list. OK
// writes what the controls show, Cancel nothing, a refused address nothing.
TEST_F(EmailDialogTest, TankListOkWritesTheEditsCancelAndARefusedAddressNothing)
{
    devices.DeviceCount = 1;
    frmEmail *d = open();
    EXPECT_TRUE(Part<QGroupBox>(d, "GroupTank")->isHidden());
    QTest::mouseClick(Part<QPushButton>(d, "CmdOk"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));
    EXPECT_TRUE(QString::fromLatin1(readBytes(iniPath())).contains("[Gerät1]\r\nEmailAktiv=1"));

    devices.DeviceCount = 2;
    d = open();
    QListWidget *list = Part<QListWidget>(d, "lstbxTank");
    EXPECT_EQ(list->item(0)->text() + "|" + QString::number(list->selectedItems().size()), "1 / SN12345|2");
    Part<QLineEdit>(d, "txbxKundenname")->insert("Müller");
    list->item(1)->setSelected(false);
    Part<QDoubleSpinBox>(d, "spinVerlustProzent")->setValue(4.5);
    Part<QSpinBox>(d, "spinVerlustStunden")->setValue(6);
    // The subject in its placeholder form while it has the focus; a typed "<>" is stored as its code.
    d->logic().subjectFocusIn();
    d->logic().subjectFocusOut(Part<QLineEdit>(d, "txbxBetreff")->text() + "<>");
    QTest::mouseClick(Part<QPushButton>(d, "CmdOk"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));
    const QString file = QString::fromLatin1(readBytes(iniPath()));
    for (const char *line : {"Kundenname=Müller\r\n", "Betreff=%13 %20 %10, %01, %04, %21 %15 %08%06\r\n",
                             "[Gerät2]\r\nEmailAktiv=0\r\n", "VerlustProzent=4.5\r\nVerlustStunden=6\r\n"})
        EXPECT_TRUE(file.contains(QString::fromUtf8(line))) << line;
    EXPECT_EQ(ui.panelText(2), LngText(257));

    d = open();
    Part<QLineEdit>(d, "txbxKundenname")->insert("Meier");
    Part<QListWidget>(d, "lstbxTank")->item(1)->setSelected(true);
    QTest::mouseClick(Part<QPushButton>(d, "cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));
    EXPECT_EQ(QString::fromLatin1(readBytes(iniPath())), file);

    // OK refuses a sender or recipient that is more than one plain address,
    // naming the field; nothing is written and the dialog stays open until the
    // field is mended (which addresses are plain: SmtpTest.EnvelopeRefusalsSendNothing).
    d = open();
    for (const auto &[field, typed, named] :
         {std::tuple{"txbxAbsenderEmail", "Tankmon <t@example.org>", "Absenderadresse"},
          {"txbxEmpfaengerAdr1", "a@example.org b@example.org", "Empfänger 2"}}) {
        QLineEdit *edit = Part<QLineEdit>(d, field);
        QTest::keyClicks(edit, typed);
        ui.shown.clear();
        QTest::mouseClick(Part<QPushButton>(d, "CmdOk"), Qt::LeftButton);
        EXPECT_TRUE(ui.texts().value(0).contains(QString::fromUtf8(named)) &&
                    ui.texts().value(0).contains(typed))
            << ui.texts().join('\n').toStdString();
        EXPECT_TRUE(readBytes(iniPath()) == file.toLatin1() && !dlg.isNull());
        edit->clear();
        QTest::keyClicks(edit, "ok@example.org");
    }
    QTest::mouseClick(Part<QPushButton>(d, "CmdOk"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return dlg.isNull(); }));
    EXPECT_TRUE(QString::fromLatin1(readBytes(iniPath())).contains("AbsenderEmail=ok@example.org\r\n"));
}

} // namespace
