// Port discovery, the list helpers and the interface dialog's logic.
#include "LinkTestSupport.h"

#include "link/ComDialogLogic.h"
#include "link/ItemList.h"
#include "link/PortDirectory.h"

#include "core/Catalogue.h"

#include <QSignalSpy>

static PortInfo Port(const QString &name, const QString &desc = {}, const QString &maker = {}, int number = 0)
{
    return {number, "/dev/" + name, name, desc, maker};
}

using PortDirectoryTest = UiTest;

TEST_F(PortDirectoryTest, StableOrderGivesThePortNumbersEntriesNameTheirDeviceAndTheListSelectsByData)
{
    const QList<PortInfo> ports = {Port("rfcomm0"), Port("ttyUSB10"), Port("ttyACM0"), Port("ttyUSB2"),
                                   Port("ttyS1"),   Port("ttyAMA0"),  Port("ttyS0")};
    QStringList numbered;
    for (const PortInfo &i : PortDirectory::Numbered(ports))
        numbered << QString::number(i.number) + '=' + i.name;
    EXPECT_EQ(numbered.join(' '), "1=ttyS0 2=ttyS1 3=ttyUSB2 4=ttyUSB10 5=ttyACM0 6=rfcomm0 7=ttyAMA0");
    // The device of a number: SerialFakePortTest and ComDialogTest through the link.

    // Without maker and description: ComDialogTest.
    EXPECT_EQ(PortDirectory::EntryText(
                  Port("ttyUSB0", "USB-Serial Controller", "Prolific Technology Inc.", 3), texts),
              "COM 3 (ttyUSB0: Prolific Technology Inc. USB-Serial Controller)");
    // A name rule wins over a description.
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port("BthModem0", "x"), texts),
              "Seriell-über-Bluetooth-Verbindung");
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port("ttyACM0", "Arduino Uno", "Arduino"), texts),
              "Arduino Uno");

    // The list helper of the dialogs: selection by item data, the nearest one.
    ItemList l;
    l.AddListItem("a", 600);
    EXPECT_EQ(l.currentIndex(), -1) << "adding selects only when asked";
    EXPECT_EQ(l.AddListItem("b", 1800, true), 1);
    EXPECT_EQ(l.SelectedItemData(), 1800);
    l.AddListItem("c", 3600);
    // 2700 is equally near to 1800 and 3600: the first.
    for (const auto &[value, selected] : {std::pair{2700, 1800}, {100000, 3600}, {0, 600}}) {
        l.SelectByItemData(value);
        EXPECT_EQ(l.SelectedItemData(), selected) << value;
    }
    ItemList empty;
    empty.SelectByItemData(5);
    EXPECT_EQ(empty.SelectedItemData(), -1);
}

class ComDialogTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        fakePorts({"ttyS0", "ttyS2"});
        switches.setActiveCom(true);
        makeLink();
        dialog = std::make_unique<ComDialogLogic>(*link, switches, settings, ui, texts);
    }
    std::unique_ptr<ComDialogLogic> dialog;
};

TEST_F(ComDialogTest, PortListSelectsTheCurrentPortByItsPathOrTheFirst)
{
    link->InitCOM(2);
    bus->log.clear();
    dialog->Load();
    ASSERT_EQ(dialog->ports().count(), 2);
    EXPECT_EQ(dialog->ports().at(0).text, "COM 1 (ttyS0)");
    // Closed while listing, opened again on the selected entry.
    EXPECT_EQ(bus->log.mid(0, 2), (QStringList{"close", "open /dev/ttyS2"}));
    EXPECT_EQ(serialState(), "COM2 /dev/ttyS2 open");

    link->InitCOM(5, "/dev/ttyUSB7"); // not present
    dialog->FillPortList();
    EXPECT_EQ(serialState(), "COM1 /dev/ttyS0 open");

    link->InitCOM(2);                // /dev/ttyS2
    fakePorts({"ttyS2", "ttyUSB0"}); // now number 1
    dialog->FillPortList();
    EXPECT_EQ(serialState(), "COM1 /dev/ttyS2 open");

    fakePorts({});
    dialog->FillPortList();
    ASSERT_EQ(dialog->ports().count(), 1);
    EXPECT_EQ(dialog->ports().at(0).text, "Keine COM-Ports verfügbar!");
    EXPECT_EQ(ui.panelText(1), "Schnittstelle COM0 konnte nicht initialisiert werden.");
}

// Cancel goes back to the stored port and writes nothing; OK stores, switches
// and reopens, and refuses a TCP port that is none.
TEST_F(ComDialogTest, CancelGoesBackOkStoresSwitchesAndReopensButRefusesABadTcpPort)
{
    writeBytes(iniPath(), "[COM]\r\nPort=1\r\nClientPort=123456\r\n");
    const QByteArray before = readBytes(iniPath());
    QSignalSpy closed(dialog.get(), &ComDialogLogic::closeRequested);
    dialog->Load();
    EXPECT_EQ(dialog->clientPortText(), "8000");
    dialog->setCheckAktivCom(false); // takes effect only at OK
    dialog->select(1);
    EXPECT_EQ(serialState(), "COM2 /dev/ttyS2 open") << "every selection reopens the link";
    dialog->Cancel();
    EXPECT_EQ(closed.size(), 1);
    EXPECT_EQ(serialState(), "COM1 /dev/ttyS0 open");
    EXPECT_EQ(readBytes(iniPath()), before);

    dialog->Load();
    dialog->select(1);
    dialog->setCheckAktivNet(true);
    const QString tcpPort = QString::number(FreeTcpPort());
    dialog->setClientPortText(tcpPort);
    bus->log.clear();
    dialog->Ok();
    EXPECT_EQ(closed.size(), 2);
    EXPECT_EQ((QStringList{settings.read(Cfg::ActiveNet), settings.read(Cfg::ComPort),
                           settings.read(Cfg::ComDevice), settings.read(Cfg::ClientPort)}),
              (QStringList{"1", "2", "/dev/ttyS2", tcpPort}));
    EXPECT_EQ(bus->log.value(1), "open /dev/ttyS2");
    EXPECT_EQ(link->tcp().state(), DeviceLink::State::Open);

    // A port no listener can take is said, as --set says it; the dialog stays
    // and nothing is stored, the switches neither.
    for (const char *bad : {"abc", "0", "70000", "100000"}) {
        dialog->setClientPortText(bad);
        dialog->setCheckAktivNet(std::string(bad) != "abc");
        ui.shown.clear();
        dialog->Ok();
        ASSERT_EQ(ui.shown.size(), 1) << bad;
        EXPECT_TRUE(ui.shown.front().icon == MsgIcon::Exclamation && ui.shown.front().text.contains("65535"))
            << bad;
        EXPECT_EQ(
            std::tuple(settings.read(Cfg::ClientPort), settings.read(Cfg::ActiveNet), int(closed.size())),
            std::tuple(tcpPort, QString("1"), 2))
            << bad;
    }
    // Neither link: asked first; No keeps everything as it was.
    dialog->setCheckAktivNet(false);
    dialog->setClientPortText(tcpPort);
    dialog->setCheckAktivCom(false);
    const int closes = int(closed.size());
    for (MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
        ui.answers.push_back(answer);
        dialog->Ok();
        EXPECT_EQ(ui.shown.last().icon, MsgIcon::Question);
        EXPECT_EQ(settings.read(Cfg::ActiveCom), answer == MsgResult::Yes ? "0" : "1");
        EXPECT_EQ(link->serialOpen(), answer == MsgResult::No);
        EXPECT_EQ(closed.size(), closes + (answer == MsgResult::Yes));
    }
}
