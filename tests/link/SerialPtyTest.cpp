// The serial link end to end over a socat pseudo-terminal pair: the test
// writes on the bus side, the link reads through the real QSerialPort.
#include "LinkTestSupport.h"

#include "link/LinkManager.h"
#include "link/SerialPortBackend.h"

#include "core/Catalogue.h"
#include "core/RunState.h"
#include "core/TextHelpers.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"
#include "support/TestSupport.h"

#include <QSignalSpy>

namespace
{

class SerialPtyTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetUi(&ui);
        SetLngId(1);
        SetSerialPortFactory({});
        pty = std::make_unique<PtyPair>(tmp_.path());
        ASSERT_TRUE(pty->start()) << "socat pseudo-terminal pair did not come up";
        State().activeCom = true;
        link = std::make_unique<LinkManager>(controller);
        link->setSink([this](const QByteArray &t, const QString &s) { return sink(t, s); });
    }
    void TearDown() override
    {
        link.reset();
        pty.reset();
        DataDirTest::TearDown();
    }
    void open()
    {
        link->InitCOM(4, pty->device());
        ASSERT_TRUE(link->serialOpen()) << qPrintable(ui.panelText(1));
    }

    ScriptedUi ui;
    TankController controller;
    RecordingSink sink;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<LinkManager> link;
};

TEST_F(SerialPtyTest, PseudoTerminalOpensAsPortWithoutModemLines)
{
    open();
    // No modem lines reads as CTS low: no adapter warning, the watchdog runs.
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0) << qPrintable(ui.texts().join(QLatin1Char('|')));
    EXPECT_EQ(ui.panelText(1), QStringLiteral("Programm wartet auf Messwerte vom Tankmessgerät ..."));
    EXPECT_TRUE(link->timerComActive());
}

TEST_F(SerialPtyTest, NoiseBeforeTelegramIsDropped)
{
    open();
    const QByteArray t = MakeTelegram(258, 3987);
    ASSERT_TRUE(pty->write(QByteArray("\xAA\x55", 2) + t));
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    ASSERT_EQ(sink.calls.size(), 1);
    EXPECT_EQ(sink.calls[0].telegram, t);
    EXPECT_EQ(sink.calls[0].source, QString());
    EXPECT_TRUE(link->serial().rxBuffer().isEmpty());
    EXPECT_TRUE(ui.panelText(1).endsWith(QStringLiteral(" Empfang von Com4"))) << qPrintable(ui.panelText(1));
}

TEST_F(SerialPtyTest, TwoTelegramsInOneWriteAreEvaluatedInOrder)
{
    open();
    const QByteArray a = MakeTelegram(1, 1000), b = MakeTelegram(2, 2000);
    ASSERT_TRUE(pty->write(a + b));
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 2; }));
    ASSERT_EQ(sink.calls.size(), 2);
    EXPECT_EQ(sink.calls[0].telegram, a);
    EXPECT_EQ(sink.calls[1].telegram, b);
}

TEST_F(SerialPtyTest, SplitTelegramWaitsForItsRest)
{
    open();
    const QByteArray t = MakeTelegram(77, 42);
    ASSERT_TRUE(pty->write(t.left(11)));
    ASSERT_TRUE(WaitFor([&] { return link->serial().rxBuffer().size() == 11; }));
    EXPECT_TRUE(sink.calls.isEmpty());
    ASSERT_TRUE(pty->write(t.mid(11)));
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    ASSERT_EQ(sink.calls.size(), 1);
    EXPECT_EQ(sink.calls[0].telegram, t);
}

TEST_F(SerialPtyTest, RejectedBlockIsRescannedFromItsNextCharacter)
{
    open();
    const QByteArray t = MakeTelegram(300, 1234);
    // An STX block that fails evaluation, with the real telegram starting
    // five characters in.
    const QByteArray garbage = QByteArray(1, 2) + QByteArray("\x11\x09\x00\x01", 4);
    ASSERT_TRUE(pty->write(garbage + t));
    ASSERT_TRUE(WaitFor([&] { return sink.accepted() >= 1; }));
    ASSERT_EQ(sink.calls.size(), 2);
    EXPECT_FALSE(sink.calls[0].accepted);
    EXPECT_EQ(sink.calls[0].telegram, (garbage + t).left(19));
    EXPECT_EQ(sink.calls[1].telegram, t);
    EXPECT_TRUE(link->serial().rxBuffer().isEmpty());
}

TEST_F(SerialPtyTest, WatchdogTextsAfterTimeout)
{
    Cfg::MaxPoll.write(qint64(2));
    link->setTimeout(3);
    link->setTickInterval(40);
    QSignalSpy progress(link.get(), &LinkManager::receptionProgress);
    open();
    const QString noValues = QStringLiteral("Keine Messwerte vom Tankmessgerät");
    ASSERT_TRUE(WaitFor([&] { return ui.panelText(1) == noValues; }, 5000)) << qPrintable(ui.panelText(1));
    EXPECT_EQ(link->missedIntervals(), 1);
    // The second time-out reaches MaxPoll: the progress display starts again at 0.
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const QList<QVariant> &a : progress)
                if (a[0].toDouble() == 0)
                    return true;
            return false;
        },
        5000));
    EXPECT_EQ(link->missedIntervals(), 0);
    ASSERT_GE(progress.size(), 7);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(progress[i][0].toDouble(), i % 3 + 1) << i;
        EXPECT_EQ(progress[i][1].toDouble(), 3.0);
    }
    EXPECT_EQ(progress[6][0].toDouble(), 0.0);

    // An accepted telegram resets the watchdog.
    emit controller.telegramAccepted();
    EXPECT_EQ(link->tag(), 0);
    EXPECT_EQ(link->missedIntervals(), 0);
    EXPECT_TRUE(link->timerComActive());
}

TEST_F(SerialPtyTest, TraceShowsReceivedCharactersWithLineEndsMasked)
{
    State().tracePath = dataDir() + QStringLiteral("trace.log");
    open();
    ASSERT_TRUE(pty->write(QByteArray("ab\r\ncd")));
    ASSERT_TRUE(WaitFor([&] { return readBytes(State().tracePath).contains("Com_OnCom comEvReceive="); }));
    const QByteArray trace = readBytes(State().tracePath);
    EXPECT_TRUE(trace.contains(",InitCom FlagComAktiv=True Port=4\r\n")) << trace.constData();
    // The characters may arrive in more than one read; together they are all there.
    QByteArray got;
    for (const QByteArray &line : trace.split('\n'))
        if (const qsizetype at = line.indexOf("comEvReceive="); at >= 0)
            got += line.mid(at + 13).chopped(1);
    EXPECT_EQ(got, QByteArray("ab__cd"));
}

} // namespace

namespace
{

TEST_F(SerialPtyTest, LineThatGoesAwayIsReopenedWhenItComesBack)
{
    link->setTickInterval(40);
    open();
    pty->stop(); // the other end disappears, and with it the device link
    const QString lost = QStringLiteral("Schnittstelle COM4 konnte nicht initialisiert werden.");
    ASSERT_TRUE(WaitFor([&] { return ui.panelText(1) == lost; }, 5000)) << qPrintable(ui.panelText(1));
    EXPECT_FALSE(link->serialOpen());
    EXPECT_TRUE(link->reopenPending());

    ASSERT_TRUE(pty->start());
    ASSERT_TRUE(WaitFor([&] { return link->serialOpen(); }, 5000));
    EXPECT_EQ(ui.count(QStringLiteral("message")), 0);
    const QByteArray t = MakeTelegram(31, 310);
    ASSERT_TRUE(pty->write(t));
    ASSERT_TRUE(WaitFor([&] { return sink.calls.size() >= 1; }));
    EXPECT_EQ(sink.calls[0].telegram, t);
}

} // namespace
