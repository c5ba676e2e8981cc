// The loss alarm as the start-up builds it: telegrams from a stand-in link,
// a settable clock, and a real mail server at the far end.
#include "RoadTest.h"
#include "email/SmtpPeer.h"

#include "consumption/LossWatch.h"
#include "core/DateText.h"
#include "email/EmailNotifier.h"
#include "email/EmailSettings.h"
#include "link/Simulation.h"
#include "model/TankStateWatch.h"

#include <QRegularExpression>

namespace
{

class LossRoad : public RoadTest
{
protected:
    // The mail server, no cyclic or level report in between; extra: more lines.
    void configure(quint16 port, const QByteArray &extra)
    {
        writeBytes(iniPath(), extra + MailSettings(port) + "LetzteEmail=" + FormatDateText(now).toLatin1() +
                                  "\r\nMelderaster=100\r\n");
    }
    // One reading of tank 4711 (capacity 5000) every 10 minutes, from link.
    void read(MockLink *link, int level, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            now = now.addSecs(600);
            link->feed(Telegram{.sn = 4711, .levelWord = Bcd(level)}.bytes());
        }
    }
    // The reasons of the messages the mail server accepted: their subjects
    // (folded UTF-8 encoded words, or plain) up to the first colon.
    QStringList subjects() const
    {
        static const QRegularExpression word(QStringLiteral(R"(^Subject:|\G\s*=\?UTF-8\?B\?([^?]*)\?=)"));
        QStringList s;
        for (const auto &m : peer.messages) {
            const QString header = QString::fromLatin1(m.second.mid(m.second.indexOf("\r\nSubject: ") + 2));
            QByteArray subject;
            for (auto it = word.globalMatch(header); it.hasNext();)
                subject += QByteArray::fromBase64(it.next().captured(1).toLatin1());
            s << (subject.isEmpty() ? header.mid(9) : QString::fromUtf8(subject))
                     .section(':', 0, 0)
                     .trimmed();
        }
        return s;
    }
    bool mailed(qsizetype count)
    {
        return WaitFor([&] { return peer.messages.size() >= count && !run->app.email().busy(); }, 30000) &&
               peer.messages.size() == count;
    }

    SmtpPeer peer{{}};
};

} // namespace

// A theft of 4 % within 20 minutes: mailed once when it starts and once when
// the level has been steady for the window, with a restart in between that
// neither repeats the start nor forgets the event; a limit lowered in the
// e-mail settings counts from the next reading on.
TEST_F(LossRoad, StartAndEndMailedOnceAcrossARestartAndNewLimitsAtOnce)
{
    configure(peer.port, "[Common]\r\nActiveCom=1\r\n");
    startApp();
    read(run->mocks.serial, 4000, 7);
    read(run->mocks.serial, 3900);
    read(run->mocks.serial, 3800);
    ASSERT_TRUE(mailed(1)) << subjects().join('\n').toStdString();
    EXPECT_EQ(std::pair(run->app.losses().loss(1), run->app.states().status(1).condition),
              std::pair(true, TankCondition::Loss));

    startApp();
    EXPECT_TRUE(run->app.losses().loss(1)) << "kept across the restart";
    read(run->mocks.serial, 3800, 3 * 6);
    EXPECT_TRUE(mailed(1)) << "not over after 3 hours";
    read(run->mocks.serial, 3800, 2 * 6);
    ASSERT_TRUE(mailed(2)) << subjects().join('\n').toStdString();
    EXPECT_EQ(std::pair(run->app.losses().loss(1), run->app.states().status(1).condition),
              std::pair(false, TankCondition::Ok));
    EXPECT_EQ(subjects(), (QStringList{"Verlust", "Verlust beendet"}));

    // 1.6 % in 20 minutes: below the limit of 3 points, above one of 1.
    EmailValues v = run->app.emailSettings().values();
    v.verlustProzent = 1;
    run->app.emailSettings().save(v);
    read(run->mocks.serial, 3760);
    read(run->mocks.serial, 3720);
    ASSERT_TRUE(mailed(3)) << subjects().join('\n').toStdString();
    EXPECT_EQ(subjects().last(), "Verlust");
}

// The simulation's level falls by up to 1 % of the capacity every 2 s, far
// faster than any tank's use: no loss is judged on it, none mailed or shown.
TEST_F(LossRoad, SimulatedUseRaisesNoLoss)
{
    configure(peer.port, "[COM]\r\nSimulation=1\r\n");
    startApp();
    ASSERT_NE(run->mocks.simulation, nullptr);
    ASSERT_NE(run->mocks.simulation->state(), DeviceLink::State::Closed);
    for (int tick = 1; tick <= 200; ++tick) {
        now = now.addSecs(2);
        run->mocks.simulation->feed(
            SimulatedTelegram(4711, 20, 4000 - tick % 80 * 50)); // a tank registered before
    }
    ASSERT_EQ(run->app.tanks().DeviceCount(), 1);
    EXPECT_FALSE(run->app.losses().loss(1));
    EXPECT_NE(run->app.states().status(1).condition, TankCondition::Loss);
    // Anything the rules mail meanwhile has gone out; none of it is a loss.
    WaitFor([&] { return !run->app.email().busy(); }, 30000);
    EXPECT_FALSE(subjects().contains("Verlust")) << subjects().join('\n').toStdString();
}
