// Port discovery, the list helpers and the interface dialog's logic.
#include "LinkTestSupport.h"

#include "link/ComDialogLogic.h"
#include "link/FakeSerialPort.h"
#include "link/ItemList.h"
#include "link/LinkManager.h"
#include "link/PortDirectory.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

namespace
{

PortInfo Port(const QString &name, const QString &desc = {}, const QString &maker = {})
{
    return {0, QStringLiteral("/dev/") + name, name, desc, maker};
}

TEST(ItemListTest, SelectByItemDataPicksTheNearestFirst)
{
    ItemList l;
    l.AddListItem(QStringLiteral("a"), 600);
    l.AddListItem(QStringLiteral("b"), 1800);
    l.AddListItem(QStringLiteral("c"), 3600);
    l.SelectByItemData(2700);
    EXPECT_EQ(l.currentIndex(), 1);
    EXPECT_EQ(l.SelectedItemData(), 1800);
    l.SelectByItemData(100000);
    EXPECT_EQ(l.SelectedItemData(), 3600);
    ItemList empty;
    empty.SelectByItemData(5);
    EXPECT_EQ(empty.currentIndex(), -1);
    EXPECT_EQ(empty.SelectedItemData(), -1);
}

TEST(ItemListTest, AddListItemSelectsOnlyWhenAsked)
{
    ItemList l;
    l.AddListItem(QStringLiteral("a"), 1);
    EXPECT_EQ(l.currentIndex(), -1);
    EXPECT_EQ(l.AddListItem(QStringLiteral("b"), 2, true), 1);
    EXPECT_EQ(l.SelectedItemData(), 2);
}

class PortDirectoryTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetLngId(1);
    }
    void TearDown() override
    {
        PortDirectory::SetSource({});
        DataDirTest::TearDown();
    }
};

TEST_F(PortDirectoryTest, StableOrderGivesThePortNumbers)
{
    const QList<PortInfo> p = PortDirectory::Numbered(
        {Port(QStringLiteral("rfcomm0")), Port(QStringLiteral("ttyUSB10")), Port(QStringLiteral("ttyACM0")),
         Port(QStringLiteral("ttyUSB2")), Port(QStringLiteral("ttyS1")), Port(QStringLiteral("ttyAMA0")),
         Port(QStringLiteral("ttyS0"))});
    QStringList names;
    for (const PortInfo &i : p)
        names << QString::number(i.number) + QLatin1Char('=') + i.name;
    EXPECT_EQ(names.join(QLatin1Char(' ')),
              QStringLiteral("1=ttyS0 2=ttyS1 3=ttyUSB2 4=ttyUSB10 5=ttyACM0 6=rfcomm0 7=ttyAMA0"));
}

TEST_F(PortDirectoryTest, EntryTextAndDisplayNames)
{
    PortInfo usb = Port(QStringLiteral("ttyUSB0"), QStringLiteral("USB-Serial Controller"),
                        QStringLiteral("Prolific Technology Inc."));
    usb.number = 3;
    EXPECT_EQ(PortDirectory::EntryText(usb),
              QStringLiteral("COM 3  (ttyUSB0  Prolific Technology Inc. USB-Serial Controller)"));
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port(QStringLiteral("rfcomm0"))),
              QStringLiteral("Seriell-über-Bluetooth-Verbindung"));
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port(QStringLiteral("BthModem0"), QStringLiteral("x"))),
              QStringLiteral("Seriell-über-Bluetooth-Verbindung"));
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port(QStringLiteral("wtcomsrv1"))),
              QStringLiteral("Com-Server Port"));
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port(QStringLiteral("WCM_USB_SER3"))),
              QStringLiteral("Sierra Wireless Device"));
    EXPECT_EQ(PortDirectory::PortFriendlyName(Port(QStringLiteral("ttyS0"))), QString());
    EXPECT_EQ(PortDirectory::PortFriendlyName(
                  Port(QStringLiteral("ttyACM0"), QStringLiteral("Arduino Uno"), QStringLiteral("Arduino"))),
              QStringLiteral("Arduino Uno"));
    PortInfo plain = Port(QStringLiteral("ttyS0"));
    plain.number = 1;
    EXPECT_EQ(PortDirectory::EntryText(plain), QStringLiteral("COM 1  (ttyS0  )"));
}

TEST_F(PortDirectoryTest, PortDeviceNameByNumber)
{
    PortDirectory::SetSource([] {
        return QList<PortInfo>{Port(QStringLiteral("ttyUSB0")), Port(QStringLiteral("ttyS0"))};
    });
    EXPECT_EQ(PortDirectory::PortDeviceName(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(PortDirectory::PortDeviceName(2), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(PortDirectory::PortDeviceName(3), QString());
}

// Records the wait cursor as the dialog switches it.
class CursorUi : public ScriptedUi
{
public:
    QList<bool> cursor;
    void setWaitCursor(bool on) override { cursor << on; }
};

class ComDialogTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui);
        SetLngId(1);
        bus = std::make_shared<FakeSerialBus>();
        SetSerialPortFactory(FakeSerialPort::factory(bus));
        setPorts({QStringLiteral("ttyS0"), QStringLiteral("ttyS2")});
        State().activeCom = true;
        link = std::make_unique<LinkManager>(controller);
        link->setSink([this](const QByteArray &t, const QString &s) { return sink(t, s); });
        dialog = std::make_unique<ComDialogLogic>(*link);
    }
    void TearDown() override
    {
        dialog.reset();
        link.reset();
        SetSerialPortFactory({});
        PortDirectory::SetSource({});
        DataDirTest::TearDown();
    }
    void setPorts(const QStringList &names)
    {
        QList<PortInfo> l;
        bus->present.clear();
        for (const QString &n : names) {
            l << Port(n);
            bus->present.insert(QStringLiteral("/dev/") + n);
        }
        PortDirectory::SetSource([l] { return l; });
    }

    CursorUi ui;
    TankController controller;
    RecordingSink sink;
    std::shared_ptr<FakeSerialBus> bus;
    std::unique_ptr<LinkManager> link;
    std::unique_ptr<ComDialogLogic> dialog;
};

TEST_F(ComDialogTest, CurrentPortIsSelectedAndReopened)
{
    link->InitCOM(2);
    ASSERT_EQ(link->currentDevice(), QStringLiteral("/dev/ttyS2"));
    bus->log.clear();
    dialog->Load();
    ASSERT_EQ(dialog->ports().count(), 2);
    EXPECT_EQ(dialog->ports().at(0).text, QStringLiteral("COM 1  (ttyS0  )"));
    EXPECT_EQ(dialog->ports().at(1).number, 2);
    EXPECT_EQ(dialog->ports().currentIndex(), 1);
    // Closed while listing, opened again on the selected entry.
    EXPECT_EQ(bus->log.value(0), QStringLiteral("close"));
    EXPECT_EQ(bus->log.value(1), QStringLiteral("open /dev/ttyS2"));
    EXPECT_TRUE(link->serialOpen());
    EXPECT_EQ(ui.cursor, QList<bool>({true, false}));
}

TEST_F(ComDialogTest, MissingCurrentPortSelectsTheFirst)
{
    link->InitCOM(5, QStringLiteral("/dev/ttyUSB7"));
    ui.shown.clear();
    dialog->FillPortList();
    EXPECT_EQ(dialog->ports().currentIndex(), 0);
    EXPECT_EQ(link->currentDevice(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(link->currentPort(), 1);
    EXPECT_TRUE(link->serialOpen());
}

TEST_F(ComDialogTest, RenumberedPortIsFoundByItsPath)
{
    link->InitCOM(2);                                               // /dev/ttyS2
    setPorts({QStringLiteral("ttyS2"), QStringLiteral("ttyUSB0")}); // now number 1
    dialog->FillPortList();
    EXPECT_EQ(dialog->ports().currentIndex(), 0);
    EXPECT_EQ(link->currentDevice(), QStringLiteral("/dev/ttyS2"));
}

TEST_F(ComDialogTest, NoPortsShowsTheTextAndPortZero)
{
    setPorts({});
    dialog->FillPortList();
    ASSERT_EQ(dialog->ports().count(), 1);
    EXPECT_EQ(dialog->ports().at(0).text, QStringLiteral("Keine COM-Ports verfügbar!"));
    EXPECT_EQ(dialog->ports().SelectedItemData(), 0);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Schnittstelle COM0 konnte nicht initialisiert werden."));
}

TEST_F(ComDialogTest, FieldsFromSettings)
{
    State().activeNet = false;
    Cfg::ClientPort.write(QStringLiteral("123456"));
    dialog->Load();
    EXPECT_TRUE(dialog->checkAktivCom());
    EXPECT_FALSE(dialog->checkAktivNet());
    EXPECT_EQ(dialog->clientPortText(), QStringLiteral("8000"));
    Cfg::ClientPort.write(qint64(9100));
    dialog->Load();
    EXPECT_EQ(dialog->clientPortText(), QStringLiteral("9100"));
}

TEST_F(ComDialogTest, OkStoresSwitchesPortAndPathThenReopens)
{
    dialog->Load();
    dialog->select(1);
    bool closed = false;
    QObject::connect(dialog.get(), &ComDialogLogic::closeRequested, [&] { closed = true; });
    dialog->setCheckAktivCom(true);
    dialog->setCheckAktivNet(true);
    dialog->setClientPortText(QString::number(FreeTcpPort()));
    bus->log.clear();
    dialog->Ok();
    EXPECT_TRUE(closed);
    EXPECT_EQ(Cfg::ActiveCom.read(), QStringLiteral("1"));
    EXPECT_EQ(Cfg::ActiveNet.read(), QStringLiteral("1"));
    EXPECT_TRUE(State().activeNet);
    EXPECT_EQ(Cfg::ComPort.read(), QStringLiteral("2"));
    EXPECT_EQ(Cfg::ComDevice.read(), QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(Cfg::ClientPort.read(), dialog->clientPortText());
    EXPECT_EQ(bus->log.value(1), QStringLiteral("open /dev/ttyS2"));
    EXPECT_EQ(link->tcp().state(), TcpLink::Listening);
}

TEST_F(ComDialogTest, OkWithBadTcpPortKeepsTheStoredOne)
{
    Cfg::ClientPort.write(qint64(8123));
    State().activeNet = false;
    dialog->Load();
    for (const char *bad : {"abc", "0", "100000"}) {
        dialog->setClientPortText(QString::fromLatin1(bad));
        dialog->setCheckAktivNet(false);
        dialog->Ok();
        EXPECT_EQ(Cfg::ClientPort.read(), QStringLiteral("8123")) << bad;
    }
    dialog->setCheckAktivCom(false);
    dialog->Ok();
    EXPECT_EQ(Cfg::ActiveCom.read(), QStringLiteral("0"));
    EXPECT_FALSE(State().activeCom);
    EXPECT_FALSE(link->serialOpen());
}

TEST_F(ComDialogTest, CancelGoesBackToTheStoredPortAndWritesNothing)
{
    Cfg::ComPort.write(qint64(1));
    const QByteArray before = readBytes(iniPath());
    dialog->Load();
    dialog->select(1);
    EXPECT_EQ(link->currentDevice(), QStringLiteral("/dev/ttyS2"));
    bool closed = false;
    QObject::connect(dialog.get(), &ComDialogLogic::closeRequested, [&] { closed = true; });
    dialog->Cancel();
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialog->ports().currentIndex(), 0);
    EXPECT_EQ(link->currentDevice(), QStringLiteral("/dev/ttyS0"));
    EXPECT_TRUE(link->serialOpen());
    EXPECT_EQ(readBytes(iniPath()), before);
}

TEST_F(ComDialogTest, SelectionReopensWithTheSwitchesInMemory)
{
    dialog->Load();
    dialog->setCheckAktivCom(false); // takes effect only at OK
    dialog->select(1);
    EXPECT_TRUE(link->serialOpen());
    EXPECT_EQ(link->currentPort(), 2);
}

} // namespace
