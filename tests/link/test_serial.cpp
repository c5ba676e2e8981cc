// The serial link: the framing scan and the TCP hex helpers on buffers; the
// replaceable port for what a pseudo-terminal cannot show (modem lines,
// breaks, Bluetooth, line events); and end to end over a socat
// pseudo-terminal, the test writing on the bus side.
#include "LinkTestSupport.h"

#include "link/Framing.h"

#include "core/Catalogue.h"

TEST(FramingTest, ScanGoesOnBehindAnAcceptedTelegramAndAfterTheStxOfARejectedBlockAndHexHelpers)
{
    // Serial number 0x0202: after acceptance the scan goes on behind the
    // telegram, not at the STX inside it. An STX block that fails evaluation,
    // with a telegram starting five characters in: the scan starts again at
    // the block's next character.
    const QByteArray a = MakeTelegram(0x0202, 1), b = MakeTelegram(2, 2);
    const QByteArray garbage("\x02\x11\x09\x00\x01", 5);
    RecordingSink sink;
    const QByteArray rest = ScanTelegrams(".." + a + "noise" + garbage + b + "tail",
                                          [&](const QByteArray &t) { return sink(t, {}); });
    EXPECT_EQ(sink.telegrams, (QList<QByteArray>{a, (garbage + b).left(19), b}));
    EXPECT_EQ(sink.accepted(), 2);
    EXPECT_TRUE(rest.isEmpty());

    const std::pair<const char *, long> numbers[] = {
        {"ff", 255}, {"1G", 1}, {"G1", 0}, {"7fffffff", 0x7fffffff}};
    for (const auto &[text, value] : numbers)
        EXPECT_EQ(HexToLong(QByteArray(text)), value) << text;
    EXPECT_EQ(DecodeHexLine("zz41\r"), QByteArray("\x00\x41\x00", 3));
    EXPECT_EQ(TraceData("a\r\nb\n"), "a__b_");
    EXPECT_EQ(TraceData("\xE4"), "ä");
}

class SerialFakePortTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        fakePorts({"ttyUSB0"});
        switches.setActiveCom(true);
        makeLink(30);
    }
};

// (The stored port opens its stored device: SerialPtyTest.WatchdogTextsAfterTimeout.)
TEST_F(SerialFakePortTest, ListedDeviceOfAnotherNumberCtsHighMeansNoAdapterAndOpenFailure)
{
    writeBytes(iniPath(), "[COM]\r\nPort=3\r\nDevice=/dev/pts/9\r\n");
    bus->ctsHigh = true;
    link->InitCOM(1);
    EXPECT_EQ(bus->log, (QStringList{"open /dev/ttyUSB0", "rts 0", "dtr 0", "rts 1", "dtr 1"}));
    EXPECT_EQ(ui.panelText(1), "Anschluss PC-Adapter an PC fehlerhaft");
    EXPECT_EQ(ui.texts(), QStringList{"Es wurde kein PC-Adapter erkannt.\r\nBitte Anschluss des PC-Adapters "
                                      "überprüfen\r\nund entsprechenden COM-Port einstellen."});
    // The port stays open and receives; the watchdog is not started.
    EXPECT_TRUE(link->serialOpen());
    EXPECT_FALSE(link->timerComActive());
    bus->port->feed(MakeTelegram(5, 5));
    EXPECT_EQ(sink.accepted(), 1);

    // A port that cannot be opened is named; TCP stays down with it.
    link->InitCOM(7, "/dev/ttyUSB9"); // not present
    const QString text = "Schnittstelle COM7 konnte nicht initialisiert werden.";
    EXPECT_EQ(ui.panelText(1), text);
    EXPECT_EQ(ui.texts().mid(1), QStringList{text});
    EXPECT_EQ(link->tcp().state(), DeviceLink::State::Closed);
    EXPECT_FALSE(link->timerComActive());
    // (A port number without a device: ComDialogTest's empty port list.)
}

TEST_F(SerialFakePortTest, LineEventsAreTracedAndDiscardPendingInputAndABreakAfterLinesOnMeansShortedBus)
{
    switches.setTracePath(dataDir() + "trace.log");
    link->InitCOM(1);
    now = Clock::Naive(QDate(2026, 12, 5), QTime(14, 3, 7, 5));
    const QByteArray t = MakeTelegram(11, 11);
    for (int code : {1004, 1006, 1008, 1009})
        bus->port->feed(t, code);
    EXPECT_FALSE(link->serialPort()->breakSeen());
    bus->port->feed(t, 1001);
    EXPECT_TRUE(link->serialPort()->breakSeen());
    EXPECT_TRUE(sink.telegrams.isEmpty());
    bus->port->feed(t);
    EXPECT_EQ(sink.accepted(), 1);
    // The trace line's time carries milliseconds.
    EXPECT_TRUE(
        readBytes(switches.tracePath()).contains("\n05.12.2026 14:03:07 005,Com_OnCom Event=1004\r\n"));

    // A trace file that cannot be written never stops the link.
    switches.setTracePath(dataDir() + "no/such/folder/trace.log");
    bus->port->feed(t);
    EXPECT_EQ(sink.accepted(), 2);

    // A break after the lines went on means a shorted bus; the adapter check
    // after the lines went on ends at a later turn of the event loop.
    bus->breakOnLinesOn = true;
    link->InitCOM(1);
    ASSERT_TRUE(WaitFor([this] { return !link->checkPending(); }));
    EXPECT_EQ(ui.panelText(1), "Bus ist kurzgeschlossen oder verpolt");
    EXPECT_EQ(ui.texts(), QStringList{"Bitte Verbindungsleitung zum Tankmessgerät prüfen.\r"
                                      "Bus ist kurzgeschlossen oder verpolt."});
    EXPECT_FALSE(link->timerComActive());
    EXPECT_EQ(sink.telegrams.size(), 2) << "the break's own character is discarded";
}

class SerialPtyTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(pty.start()) << "socat pseudo-terminal pair did not come up";
        switches.setActiveCom(true);
        makeLink(40);
    }

    PtyPair pty{tmp_.path()};
};

TEST_F(SerialPtyTest, StreamFramedAndTracedAndALineThatGoesAwayIsLookedForAgain)
{
    switches.setTracePath(dataDir() + "trace.log");
    link->InitCOM(4, pty.device());
    ASSERT_TRUE(link->serialOpen()) << qPrintable(ui.panelText(1));
    ASSERT_TRUE(WaitFor([this] { return !link->checkPending(); })); // the adapter check
    // A pseudo-terminal has no modem lines, which reads as CTS low: no
    // adapter warning, the watchdog runs.
    EXPECT_EQ(ui.count("message"), 0) << qPrintable(ui.texts().join('|'));
    EXPECT_EQ(ui.panelText(1), "Programm wartet auf Messwerte vom Tankmessgerät ...");
    EXPECT_TRUE(link->timerComActive());

    const QByteArray t1 = MakeTelegram(258, 3987); // noise first
    ASSERT_TRUE(pty.write("\xAA\x55" + t1) && WaitFor([&] { return sink.telegrams.size() >= 1; }));
    EXPECT_EQ(sink.sources[0], QString());
    EXPECT_TRUE(ui.panelText(1).endsWith(" Empfang von Com4")) << qPrintable(ui.panelText(1));

    const QByteArray split = MakeTelegram(77, 42);
    ASSERT_TRUE(pty.write(split.left(11)));
    ASSERT_TRUE(WaitFor([&] { return link->serialPort()->rxBuffer().size() == 11; }));
    EXPECT_EQ(sink.telegrams.size(), 1) << "an incomplete telegram waits for its rest";
    ASSERT_TRUE(pty.write(split.mid(11)) && WaitFor([&] { return sink.telegrams.size() >= 2; }));
    EXPECT_EQ(sink.telegrams, (QList<QByteArray>{t1, split}));
    EXPECT_EQ(sink.accepted(), 2);
    EXPECT_TRUE(link->serialPort()->rxBuffer().isEmpty());

    // The trace (its line-end masking: the framing test).
    EXPECT_TRUE(readBytes(switches.tracePath()).contains(",InitCom FlagComAktiv=True Port=4\r\n"));

    // A line that goes away is said once, and looked for again (the reopening
    // itself: LinkRecoveryTest).
    pty.stop(); // the other end disappears, and with it the device link
    ASSERT_TRUE(WaitFor([&] {
        return ui.panelText(1) == "Schnittstelle COM4 konnte nicht initialisiert werden.";
    })) << qPrintable(ui.panelText(1));
    EXPECT_FALSE(link->serialOpen());
    EXPECT_TRUE(link->reopenPending());
    EXPECT_EQ(ui.count("message"), 0);
}

TEST_F(SerialPtyTest, WatchdogTextsAfterTimeout)
{
    writeBytes(iniPath(),
               "[COM]\r\nMaxPoll=2\r\nTimeout=3\r\nPort=4\r\nDevice=" + pty.device().toUtf8() + "\r\n");
    link->StartFromSettings();
    ASSERT_TRUE(link->serialOpen()) << qPrintable(ui.panelText(1));
    ASSERT_TRUE(WaitFor([&] { return ui.panelText(1) == "Keine Messwerte vom Tankmessgerät"; }))
        << qPrintable(ui.panelText(1));
    EXPECT_EQ(link->missedIntervals(), 1);
    // An accepted telegram resets the watchdog.
    ASSERT_TRUE(controller.EvalTelegramm(Telegram{.sn = 5}.bytes(), QString()));
    EXPECT_EQ(link->tag(), 0);
    EXPECT_EQ(link->missedIntervals(), 0);
    EXPECT_TRUE(link->timerComActive());
}

// What lies above the links, on a mock link: a port that cannot be opened,
// one that goes away and comes back, one switched off while it is away.
class LinkRecoveryTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        switches.setActiveCom(true);
        makeLink(20, true);
    }
};

TEST_F(LinkRecoveryTest, AbsentPortNamedOnceLostPortReopenedQuietlyWhenBackUnlessSwitchedOff)
{
    MockLink &serial = *mocks.serial;
    const QString failed = "Schnittstelle COM4 konnte nicht initialisiert werden.";
    serial.absent = true;
    link->InitCOM(4, "/dev/ttyUSB3");
    EXPECT_EQ(ui.panelText(1), failed);
    EXPECT_EQ(ui.texts(), QStringList{failed});
    EXPECT_FALSE(link->reopenPending()) << "a port the user chose and that failed waits for the user";
    EXPECT_TRUE(link->indicator().warn);

    serial.absent = false;
    link->InitCOM(4, "/dev/ttyUSB3");
    ASSERT_TRUE(WaitFor([this] { return !link->checkPending(); }));
    EXPECT_EQ(ui.panelText(1), "Programm wartet auf Messwerte vom Tankmessgerät ...");
    EXPECT_TRUE(link->timerComActive());
    serial.feed(MakeTelegram(31, 310));
    EXPECT_EQ(sink.accepted(), 1);
    EXPECT_TRUE(ui.panelText(1).endsWith(" Empfang von Com4")) << qPrintable(ui.panelText(1));

    // Pulled: said on panel 1 without a box, tried again and again while absent.
    serial.pull();
    EXPECT_EQ(ui.panelText(1), failed);
    EXPECT_TRUE(link->reopenPending());
    const int tries = serial.opens;
    ASSERT_TRUE(WaitFor([&] { return serial.opens >= tries + 2; }));
    EXPECT_FALSE(link->serialOpen());
    serial.absent = false;
    ASSERT_TRUE(WaitFor([&] { return link->serialOpen(); }));
    EXPECT_FALSE(link->reopenPending());
    EXPECT_EQ(ui.count("message"), 1) << qPrintable(ui.texts().join('|'));
    serial.feed(MakeTelegram(31, 311));
    EXPECT_EQ(sink.accepted(), 2);

    // Switched off while away: closed, and no more attempts.
    serial.pull();
    ASSERT_TRUE(link->reopenPending());
    switches.setActiveCom(false);
    EXPECT_FALSE(link->reopenPending());
    EXPECT_FALSE(link->serialOpen());
    EXPECT_EQ(ui.count("message"), 1);
}
