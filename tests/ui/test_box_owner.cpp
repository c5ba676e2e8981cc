// Boxes raised while the window that asked for them closes: they appear on a
// window that stays open, so nothing the user is told is lost. The real
// widget boxes (QtUi), offscreen.
#include "ui/UiTestSupport.h"

#include "core/Catalogue.h"
#include "link/ComDialogLogic.h"
#include "link/LinkManager.h"
#include "ui/FrmCom.h"
#include "ui/FrmTabelle.h"
#include "ui/QtUi.h"

#include <QTcpServer>

namespace
{
class BoxOwner : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        home.setObjectName("home");
        home.resize(640, 480);
        home.show();
        boxes.setHome(&home);
    }
    void TearDown() override
    {
        for (QMessageBox *b : Shown<QMessageBox>())
            delete b;
        UiTest::TearDown();
    }
    // The first box on screen: its text and the window it belongs to, once
    // it is there.
    QString nextBox()
    {
        if (!WaitFor([] { return !Shown<QMessageBox>().isEmpty(); }))
            return "no box";
        QMessageBox *box = Shown<QMessageBox>().first();
        QWidget *owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
        const QString out = box->text() + " | on " + (owner ? owner->objectName() : "nothing") +
                            (owner && owner->isVisible() ? " (shown)" : " (hidden)");
        box->accept();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return out;
    }

    QMainWindow home;
    QtUi boxes{[] { return QStringLiteral("Tankmon"); }};
};
} // namespace

TEST_F(BoxOwner, ExportIntoAMissingFolderAndAnExportWrittenAreSaidOnTheTableTheChooserClosedOver)
{
    DeviceTable devices;
    devices.DeviceCount = 1;
    devices[1].SN = 4711;
    for (int i = 0; i < 3; ++i)
        devices[1].History.append(Clock::Naive(QDate(2026, 2, 4 + 4 * i), QTime(9, 0)), 5000 - 300 * i, 10);
    std::unique_ptr<frmTabelle> table(
        frmTabelle::OpenForm(devices, settings, boxes, texts, config, clock, 1, &home));
    ASSERT_TRUE(table && table->isVisible());
    const auto exportTo = [&](const QString &path) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last chooser gone
        table->findChild<QPushButton *>("cmdExportCSV")->click();
        auto *chooser = table->findChild<QFileDialog *>("ExportFile");
        ASSERT_TRUE(chooser && chooser->isVisible());
        chooser->selectFile(path);
        static_cast<QDialog *>(chooser)->accept(); // as its Save button does
    };
    exportTo(dataDir() + "missing/x.csv");
    const QString failed = nextBox();
    EXPECT_TRUE(failed.endsWith(" | on frmTabelle (shown)")) << qPrintable(failed);
    EXPECT_FALSE(QFile::exists(dataDir() + "missing/x.csv"));
    exportTo(dataDir() + "x.csv");
    EXPECT_EQ(nextBox(), "Export " + dataDir() + "x.csv\nOkay | on frmTabelle (shown)");
    EXPECT_TRUE(QFile::exists(dataDir() + "x.csv"));
}

TEST_F(BoxOwner, TcpPortThatCannotBeOpenedIsSaidOnTheMainWindowTheInterfaceDialogClosedOver)
{
    TankController tanks{switches, settings, boxes, texts, clock};
    LinkManager links(tanks, switches, settings, boxes, texts, clock);
    // A port taken by somebody else: the dialog closes, the link says why.
    // (A port out of range keeps the dialog open: ComDialogTest.)
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    const QString port = QString::number(taken.serverPort());
    QPointer<frmCOM> dialog;
    frmCOM::ShowDialog(dialog, std::make_unique<ComDialogLogic>(links, switches, settings, boxes, texts), {},
                       &home);
    ASSERT_TRUE(dialog && dialog->isVisible());
    dialog->findChild<QCheckBox *>("CheckAktivCom")->setChecked(false);
    dialog->findChild<QCheckBox *>("CheckAktivNet")->setChecked(true);
    dialog->findChild<QLineEdit *>("txbxClientPort")->setText(port);
    dialog->findChild<QPushButton *>("CmdOk")->click();
    const QString said =
        "TCP: Port " + port + " kann nicht ge\u00f6ffnet werden: The bound address is already in use";
    EXPECT_EQ(nextBox(), said + " | on home (shown)");
    EXPECT_FALSE(dialog && dialog->isVisible());
    EXPECT_EQ(boxes.status(NoticeTopic::Link), said);
    EXPECT_TRUE(links.indicator().warn);
}
