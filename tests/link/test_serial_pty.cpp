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
    open();
    // A pseudo-terminal has no modem lines, which reads as CTS low: no
    // adapter warning, the watchdog runs.
    EXPECT_EQ(ui.count("message"), 0) << qPrintable(ui.texts().join('|'));
    EXPECT_EQ(ui.panelText(1), "Programm wartet auf Messwerte vom Tankmessgerät ...");
    EXPECT_TRUE(link->timerComActive());

    const QByteArray t1 = MakeTelegram(258, 3987), a = MakeTelegram(1, 1000), b = MakeTelegram(2, 2000);
    ASSERT_TRUE(writeAndWait("\xAA\x55" + t1, 1)); // noise first
    EXPECT_EQ(sink.calls[0].source, QString());
    EXPECT_TRUE(ui.panelText(1).endsWith(" Empfang von Com4")) << qPrintable(ui.panelText(1));
    ASSERT_TRUE(writeAndWait(a + b, 3)); // two in one write, in order

    const QByteArray split = MakeTelegram(77, 42);
    ASSERT_TRUE(pty.write(split.left(11)));
    ASSERT_TRUE(WaitFor([&] { return link->serial().rxBuffer().size() == 11; }));
    EXPECT_EQ(sink.calls.size(), 3) << "an incomplete telegram waits for its rest";
    ASSERT_TRUE(writeAndWait(split.mid(11), 4));

    // An STX block that fails evaluation, with the real telegram starting five
    // characters in: the scan starts again at the block's next character.
    const QByteArray garbage("\x02\x11\x09\x00\x01", 5), t2 = MakeTelegram(300, 1234);
    ASSERT_TRUE(writeAndWait(garbage + t2, 6));
    EXPECT_EQ(sink.telegrams(), (QList<QByteArray>{t1, a, b, split, (garbage + t2).left(19), t2}));
    EXPECT_EQ(sink.accepted(), 5);
    EXPECT_FALSE(sink.calls[4].accepted);
    EXPECT_TRUE(link->serial().rxBuffer().isEmpty());
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

TEST_F(SerialPtyTest, TraceShowsReceivedCharactersWithLineEndsMasked)
{
    config.tracePath = dataDir() + "trace.log";
    open();
    ASSERT_TRUE(pty.write("ab\r\ncd"));
    QByteArray got;
    // The characters may arrive in more than one read; together they are all there.
    ASSERT_TRUE(WaitFor([&] {
        got.clear();
        for (const QByteArray &line : readBytes(config.tracePath).split('\n'))
            if (const qsizetype at = line.indexOf("comEvReceive="); at >= 0)
                got += line.mid(at + 13).chopped(1);
        return got == "ab__cd";
    })) << got.constData();
    EXPECT_TRUE(readBytes(config.tracePath).contains(",InitCom FlagComAktiv=True Port=4\r\n"));
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
