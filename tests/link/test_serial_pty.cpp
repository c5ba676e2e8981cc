// The serial link end to end over a socat pseudo-terminal pair: the test
// writes on the bus side, the link reads through the real QSerialPort.
#include "LinkTestSupport.h"

#include "core/Catalogue.h"

#include <QSignalSpy>

namespace
{

class SerialPtyTest : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        ASSERT_TRUE(pty.start()) << "socat pseudo-terminal pair did not come up";
        config.activeCom = true;
        makeLink();
    }
    void open()
    {
        link->InitCOM(4, pty.device());
        ASSERT_TRUE(link->serialOpen()) << qPrintable(ui.panelText(1));
        ASSERT_TRUE(WaitFor([this] { return !link->checkPending(); })); // the adapter check
    }
    bool writeAndWait(const QByteArray &bytes, int calls)
    {
        return pty.write(bytes) && WaitFor([&] { return sink.calls.size() >= calls; });
    }

    PtyPair pty{tmp_.path()};
};

TEST_F(SerialPtyTest, FramingOfTheStream)
{
    config.tracePath = dataDir() + "trace.log";
    open();
    // A pseudo-terminal has no modem lines, which reads as CTS low: no
    // adapter warning, the watchdog runs.
    EXPECT_EQ(ui.count("message"), 0) << qPrintable(ui.texts().join('|'));
    EXPECT_EQ(ui.panelText(1), "Programm wartet auf Messwerte vom Tankmessgerät ...");
    EXPECT_TRUE(link->timerComActive());

    const QByteArray t1 = MakeTelegram(258, 3987);
    ASSERT_TRUE(writeAndWait("\xAA\x55" + t1, 1)); // noise first
    EXPECT_EQ(sink.calls[0].source, QString());
    EXPECT_TRUE(ui.panelText(1).endsWith(" Empfang von Com4")) << qPrintable(ui.panelText(1));

    const QByteArray split = MakeTelegram(77, 42);
    ASSERT_TRUE(pty.write(split.left(11)));
    ASSERT_TRUE(WaitFor([&] { return link->serial().rxBuffer().size() == 11; }));
    EXPECT_EQ(sink.calls.size(), 1) << "an incomplete telegram waits for its rest";
    ASSERT_TRUE(writeAndWait(split.mid(11), 2));
    EXPECT_EQ(sink.telegrams(), (QList<QByteArray>{t1, split}));
    EXPECT_EQ(sink.accepted(), 2);
    EXPECT_TRUE(link->serial().rxBuffer().isEmpty());

    // The trace shows the received characters with their line ends masked.
    ASSERT_TRUE(pty.write("\r\n"));
    EXPECT_TRUE(WaitFor([&] { return readBytes(config.tracePath).contains(" comEvReceive=__\r\n"); }));
    EXPECT_TRUE(readBytes(config.tracePath).contains(",InitCom FlagComAktiv=True Port=4\r\n"));
}

TEST_F(SerialPtyTest, WatchdogTextsAfterTimeout)
{
    settings.write(Cfg::MaxPoll, qint64(2));
    settings.write(Cfg::Timeout, qint64(3));
    settings.write(Cfg::ComPort, qint64(4));
    settings.write(Cfg::ComDevice, pty.device());
    makeLink(40);
    QSignalSpy progress(link.get(), &LinkManager::receptionProgress);
    link->StartFromSettings();
    ASSERT_TRUE(link->serialOpen()) << qPrintable(ui.panelText(1));
    ASSERT_TRUE(WaitFor([&] { return ui.panelText(1) == "Keine Messwerte vom Tankmessgerät"; }))
        << qPrintable(ui.panelText(1));
    EXPECT_EQ(link->missedIntervals(), 1);
    // The second time-out reaches MaxPoll: the progress display starts again at 0.
    ASSERT_TRUE(WaitFor([&] { return progress.size() >= 7; }));
    EXPECT_EQ(link->missedIntervals(), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(progress[i][0].toDouble(), i < 6 ? i % 3 + 1 : 0) << i;
        EXPECT_EQ(progress[i][1].toDouble(), 3.0);
    }
    // An accepted telegram resets the watchdog.
    ASSERT_TRUE(controller.EvalTelegramm(Telegram{.sn = 5}.bytes(), QString()));
    EXPECT_EQ(link->tag(), 0);
    EXPECT_EQ(link->missedIntervals(), 0);
    EXPECT_TRUE(link->timerComActive());
}

TEST_F(SerialPtyTest, LineThatGoesAwayIsReopenedWhenItComesBackUnlessSwitchedOff)
{
    makeLink(40);
    open();
    pty.stop(); // the other end disappears, and with it the device link
    ASSERT_TRUE(WaitFor([&] { return ui.panelText(1) == "Schnittstelle COM4 konnte nicht initialisiert werden."; }))
        << qPrintable(ui.panelText(1));
    EXPECT_FALSE(link->serialOpen());
    EXPECT_TRUE(link->reopenPending());

    ASSERT_TRUE(pty.start());
    ASSERT_TRUE(WaitFor([&] { return link->serialOpen(); }));
    EXPECT_EQ(ui.count("message"), 0);
    ASSERT_TRUE(writeAndWait(MakeTelegram(31, 310), 1));
    EXPECT_EQ(sink.calls[0].telegram, MakeTelegram(31, 310));

    // Switched off while it is away: closed, and no more attempts.
    pty.stop();
    ASSERT_TRUE(WaitFor([&] { return link->reopenPending(); }));
    config.activeCom = false;
    link->InitCOM(4, pty.device());
    EXPECT_FALSE(link->reopenPending());
    EXPECT_FALSE(link->serialOpen());
    EXPECT_EQ(ui.count("message"), 0);
}

} // namespace
