// InitCOM and the receive handler through the replaceable port: adapter
// checks, Bluetooth, open failures, line events and a port that goes away.
#include "LinkTestSupport.h"

#include "link/FakeSerialPort.h"
#include "link/LinkManager.h"
#include "link/PortDirectory.h"

#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/RunState.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

namespace
{

const QString kDev = QStringLiteral("/dev/ttyUSB0");

class SerialFakePortTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui);
        SetLngId(1);
        bus = std::make_shared<FakeSerialBus>();
        bus->present.insert(kDev);
        SetSerialPortFactory(FakeSerialPort::factory(bus));
        PortDirectory::SetSource([] {
            return QList<PortInfo>{{0, kDev, QStringLiteral("ttyUSB0"), QStringLiteral("USB Serial"), {}}};
        });
        State().activeCom = true;
        link = std::make_unique<LinkManager>(controller);
        link->setSink([this](const QByteArray &t, const QString &s) { return sink(t, s); });
        link->setTickInterval(30);
    }
    void TearDown() override
    {
        link.reset();
        SetSerialPortFactory({});
        PortDirectory::SetSource({});
        DataDirTest::TearDown();
    }
    FakeSerialPort *port() { return FakeSerialPort::last(); }

    ScriptedUi ui;
    TankController controller;
    RecordingSink sink;
    std::shared_ptr<FakeSerialBus> bus;
    std::unique_ptr<LinkManager> link;
};

TEST_F(SerialFakePortTest, LinesOffWhileOpeningThenOn)
{
    link->InitCOM(1);
    EXPECT_EQ(bus->log,
              QStringList({QStringLiteral("open /dev/ttyUSB0"), QStringLiteral("rts 0"),
                           QStringLiteral("dtr 0"), QStringLiteral("rts 1"), QStringLiteral("dtr 1")}));
    EXPECT_TRUE(link->timerComActive());
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
}

TEST_F(SerialFakePortTest, CtsHighMeansNoAdapter)
{
    bus->ctsHigh = true;
    link->InitCOM(1);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Anschluss PC-Adapter an PC fehlerhaft"));
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.shown[0].text, QStringLiteral("Es wurde kein PC-Adapter erkannt.\r\n"
                                               "Bitte Anschluss des PC-Adapters überprüfen\r\n"
                                               "und entsprechenden COM-Port einstellen."));
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
    // The port stays open and receives; the watchdog is not started.
    EXPECT_TRUE(link->serialOpen());
    EXPECT_FALSE(link->timerComActive());
    port()->feed(MakeTelegram(5, 5));
    EXPECT_EQ(sink.accepted(), 1);
}

TEST_F(SerialFakePortTest, BreakAfterLinesOnMeansShortedBus)
{
    bus->breakOnLinesOn = true;
    link->InitCOM(1);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Bus ist kurzgeschlossen oder verpolt"));
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.shown[0].text, QStringLiteral("Bitte Verbindungsleitung zum Tankmessgerät prüfen.\r"
                                               "Bus ist kurzgeschlossen oder verpolt."));
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(link->timerComActive());
    // The break's own character was discarded, nothing was evaluated.
    EXPECT_TRUE(sink.calls.isEmpty());
}

TEST_F(SerialFakePortTest, OpenFailureNamesThePortAndKeepsTcpDown)
{
    State().activeNet = true;
    bus->busy.insert(kDev);
    link->InitCOM(7, kDev);
    const QString text = QStringLiteral("Schnittstelle COM7 konnte nicht initialisiert werden.");
    EXPECT_EQ(ui.panelText(1), text);
    ASSERT_EQ(ui.count(QStringLiteral("message")), 1);
    EXPECT_EQ(ui.shown[0].text, text);
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(link->tcp().state(), TcpLink::Closed);
    EXPECT_FALSE(link->timerComActive());
}

TEST_F(SerialFakePortTest, PortNumberWithoutDeviceFails)
{
    link->InitCOM(0);
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Schnittstelle COM0 konnte nicht initialisiert werden."));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 1);
}

TEST_F(SerialFakePortTest, StoredDevicePathWinsForTheStoredPort)
{
    const QString pts = QStringLiteral("/dev/pts/9");
    bus->present.insert(pts);
    Cfg::ComPort.write(qint64(3));
    Cfg::ComDevice.write(pts);
    link->StartFromSettings();
    EXPECT_TRUE(link->serialOpen());
    EXPECT_EQ(link->currentDevice(), pts);
    EXPECT_EQ(link->currentPort(), 3);
    // Another port number goes through the port directory.
    link->InitCOM(1);
    EXPECT_EQ(link->currentDevice(), kDev);
}

TEST_F(SerialFakePortTest, BluetoothPortGetsTestAndNoChecks)
{
    Cfg::Bluetooth.write(qint64(1));
    State().activeNet = true;
    bus->ctsHigh = true; // would raise the adapter warning on a cable port
    link->InitCOM(1);
    EXPECT_EQ(bus->written, QByteArray("test"));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
    EXPECT_FALSE(link->timerComActive());
    EXPECT_EQ(link->tcp().state(), TcpLink::Closed); // no listener in Bluetooth mode
    EXPECT_TRUE(link->serialOpen());
}

TEST_F(SerialFakePortTest, UnpluggedPortComesBackByItself)
{
    link->InitCOM(1);
    ASSERT_TRUE(link->serialOpen());
    port()->unplug();
    const QString lost = QStringLiteral("Schnittstelle COM1 konnte nicht initialisiert werden.");
    EXPECT_EQ(ui.panelText(1), lost);
    EXPECT_FALSE(link->serialOpen());
    // Several reopen polls while the adapter is away: no message box at all.
    ASSERT_TRUE(WaitFor([&] { return bus->log.count(QStringLiteral("open ") + kDev) >= 4; }, 3000));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
    EXPECT_FALSE(link->serialOpen());
    EXPECT_TRUE(link->reopenPending());

    bus->present.insert(kDev);
    ASSERT_TRUE(WaitFor([&] { return link->serialOpen(); }, 3000));
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Programm wartet auf Messwerte vom Tankmessgerät ..."));
    EXPECT_FALSE(link->reopenPending());
    port()->feed(MakeTelegram(9, 99));
    EXPECT_EQ(sink.accepted(), 1);
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
}

TEST_F(SerialFakePortTest, ReopenStopsWhenTheSerialLinkIsSwitchedOff)
{
    link->InitCOM(1);
    port()->unplug();
    ASSERT_TRUE(link->reopenPending());
    State().activeCom = false;
    link->InitCOM(1);
    EXPECT_FALSE(link->reopenPending());
    EXPECT_FALSE(link->serialOpen());
}

TEST_F(SerialFakePortTest, LineErrorsDiscardPendingInput)
{
    link->InitCOM(1);
    const QByteArray t = MakeTelegram(11, 11);
    for (int code : {1004, 1006, 1008, 1009}) {
        port()->raiseLineEvent(code, t);
        EXPECT_TRUE(sink.calls.isEmpty()) << code;
    }
    EXPECT_FALSE(link->serial().breakSeen());
    port()->raiseLineEvent(1001, t);
    EXPECT_TRUE(link->serial().breakSeen());
    EXPECT_TRUE(sink.calls.isEmpty());
    port()->feed(t);
    EXPECT_EQ(sink.accepted(), 1);
}

TEST_F(SerialFakePortTest, CharactersDuringAnEvaluationWaitForIt)
{
    link->InitCOM(1);
    const QByteArray a = MakeTelegram(21, 1), b = MakeTelegram(22, 2);
    int depth = 0, deepest = 0;
    QList<QByteArray> order;
    link->setSink([&](const QByteArray &t, const QString &) {
        ++depth;
        deepest = qMax(deepest, depth);
        order << t;
        // As if a message box were open: more characters arrive meanwhile.
        if (t == a) {
            port()->feed(b);
            QCoreApplication::processEvents();
        }
        --depth;
        return true;
    });
    port()->feed(a);
    ASSERT_TRUE(WaitFor([&] { return order.size() >= 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(order, QList<QByteArray>({a, b}));
}

TEST_F(SerialFakePortTest, TraceLineCarriesMilliseconds)
{
    State().tracePath = dataDir() + QStringLiteral("trace.log");
    link->InitCOM(1);
    Clock::SetOverride([] { return Clock::Naive(QDate(2026, 12, 5), QTime(14, 3, 7, 5)); });
    port()->raiseLineEvent(1004);
    const QList<QByteArray> lines = readBytes(State().tracePath).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], QByteArray("05.12.2026 14:03:07 005,Com_OnCom Event=1004\r"));
}

TEST_F(SerialFakePortTest, UnwritableTraceDoesNotStopTheLink)
{
    State().tracePath = dataDir() + QStringLiteral("no/such/folder/trace.log");
    link->InitCOM(1);
    port()->feed(MakeTelegram(12, 12));
    EXPECT_EQ(sink.accepted(), 1);
}

TEST_F(SerialFakePortTest, SerialSwitchedOffClosesThePort)
{
    link->InitCOM(1);
    ASSERT_TRUE(link->serialOpen());
    State().activeCom = false;
    link->InitCOM(1);
    EXPECT_FALSE(link->serialOpen());
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
}

} // namespace
