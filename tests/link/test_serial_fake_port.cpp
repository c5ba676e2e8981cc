// InitCOM and the receive handler through the replaceable port, for what a
// pseudo-terminal cannot show: modem lines, breaks, Bluetooth, line events.
#include "LinkTestSupport.h"

#include "core/Catalogue.h"

namespace
{

class SerialFakePortTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        fakePorts({"ttyUSB0"});
        config.activeCom = true;
        makeLink(30);
    }
    // The one message box shown so far, as "text|icon".
    QString onlyMessage() const
    {
        if (ui.count("message") != 1)
            return QStringLiteral("%1 boxes").arg(ui.count("message"));
        return ui.shown[0].text + "|" + QString::number(int(ui.shown[0].icon));
    }
    static QString exclamation(const QString &text) { return text + "|" + QString::number(int(MsgIcon::Exclamation)); }
    // The adapter check after the lines went on ends at a later turn of the event loop.
    bool checked() { return WaitFor([this] { return !link->checkPending(); }); }
};

// (The stored port opens its stored device: SerialPtyTest.WatchdogTextsAfterTimeout.)
TEST_F(SerialFakePortTest, AnotherPortNumberOpensItsListedDeviceWithTheLinesOffThenOn)
{
    settings.write(Cfg::ComPort, qint64(3));
    settings.write(Cfg::ComDevice, "/dev/pts/9");
    link->InitCOM(1);
    EXPECT_EQ(bus->log, (QStringList{"open /dev/ttyUSB0", "rts 0", "dtr 0", "rts 1", "dtr 1"}));
}

TEST_F(SerialFakePortTest, CtsHighMeansNoAdapter)
{
    bus->ctsHigh = true;
    link->InitCOM(1);
    EXPECT_EQ(ui.panelText(1), "Anschluss PC-Adapter an PC fehlerhaft");
    EXPECT_EQ(onlyMessage(), exclamation("Es wurde kein PC-Adapter erkannt.\r\nBitte Anschluss des PC-Adapters "
                                         "überprüfen\r\nund entsprechenden COM-Port einstellen."));
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
    ASSERT_TRUE(checked());
    EXPECT_EQ(ui.panelText(1), "Bus ist kurzgeschlossen oder verpolt");
    EXPECT_EQ(onlyMessage(), exclamation("Bitte Verbindungsleitung zum Tankmessgerät prüfen.\r"
                                         "Bus ist kurzgeschlossen oder verpolt."));
    EXPECT_FALSE(link->timerComActive());
    EXPECT_TRUE(sink.calls.isEmpty()) << "the break's own character is discarded";
}

TEST_F(SerialFakePortTest, OpenFailureNamesThePortAndKeepsTcpDown)
{
    config.activeNet = true;
    link->InitCOM(7, "/dev/ttyUSB9"); // not present
    const QString text = "Schnittstelle COM7 konnte nicht initialisiert werden.";
    EXPECT_EQ(ui.panelText(1), text);
    EXPECT_EQ(onlyMessage(), exclamation(text));
    EXPECT_EQ(link->tcp().state(), TcpLink::Closed);
    EXPECT_FALSE(link->timerComActive());
    // A port number without a device fails the same way.
    ui.shown.clear();
    link->InitCOM(0);
    EXPECT_EQ(onlyMessage(), exclamation("Schnittstelle COM0 konnte nicht initialisiert werden."));
}

TEST_F(SerialFakePortTest, BluetoothPortGetsTestAndNoChecks)
{
    settings.write(Cfg::Bluetooth, qint64(1));
    config.activeNet = true;
    bus->ctsHigh = true; // would raise the adapter warning on a cable port
    link->InitCOM(1);
    EXPECT_EQ(bus->written, "test");
    EXPECT_EQ(ui.count("message"), 0);
    EXPECT_FALSE(link->timerComActive());
    EXPECT_EQ(link->tcp().state(), TcpLink::Closed); // no listener in Bluetooth mode
    EXPECT_TRUE(link->serialOpen());
}

TEST_F(SerialFakePortTest, LineEventsAreTracedAndDiscardPendingInput)
{
    config.tracePath = dataDir() + "trace.log";
    link->InitCOM(1);
    now = Clock::Naive(QDate(2026, 12, 5), QTime(14, 3, 7, 5));
    const QByteArray t = MakeTelegram(11, 11);
    for (int code : {1004, 1006, 1008, 1009})
        port()->raiseLineEvent(code, t);
    EXPECT_FALSE(link->serial().breakSeen());
    port()->raiseLineEvent(1001, t);
    EXPECT_TRUE(link->serial().breakSeen());
    EXPECT_TRUE(sink.calls.isEmpty());
    port()->feed(t);
    EXPECT_EQ(sink.accepted(), 1);
    EXPECT_TRUE(readBytes(config.tracePath).contains("\n05.12.2026 14:03:07 005,Com_OnCom Event=1004\r\n"));

    // A trace file that cannot be written never stops the link.
    config.tracePath = dataDir() + "no/such/folder/trace.log";
    port()->feed(t);
    EXPECT_EQ(sink.accepted(), 2);
}

} // namespace
