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
    void configure(quint16 port, const QByteArray &extra, const QByteArray &email = {})
    {
        writeBytes(iniPath(), extra + MailSettings(port) + email + "LetzteEmail=" +
                                  FormatDateText(now).toLatin1() + "\r\nMelderaster=100\r\n");
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
    // (folded UTF-8 encoded words, or plain) up to the first colon; whole
    // subjects with whole set.
    QStringList subjects(bool whole = false) const
    {
        static const QRegularExpression word(QStringLiteral(R"(^Subject:|\G\s*=\?UTF-8\?B\?([^?]*)\?=)"));
        QStringList s;
        for (const auto &m : peer.messages) {
            const QString header = QString::fromLatin1(m.second.mid(m.second.indexOf("\r\nSubject: ") + 2));
            QByteArray subject;
            for (auto it = word.globalMatch(header); it.hasNext();)
                subject += QByteArray::fromBase64(it.next().captured(1).toLatin1());
            const QString text =
                subject.isEmpty() ? header.mid(9).section("\r\n", 0, 0) : QString::fromUtf8(subject);
            s << (whole ? text : text.section(':', 0, 0)).trimmed();
        }
        return s;
    }
    // One round of readings, one for each (serial number, level), after `step` seconds.
    void round(const QList<std::pair<int, int>> &levels, int step = 600)
    {
        now = now.addSecs(step);
        for (const auto &[sn, level] : levels)
            run->mocks.serial->feed(Telegram{.sn = sn, .levelWord = Bcd(level)}.bytes());
    }
    QStringList lossSubjects() const { return subjects(true).filter(QRegularExpression("^Verlust")); }
    bool mailed(qsizetype count)
    {
        return WaitFor([&] { return peer.messages.size() >= count && !run->parts.email().busy(); }, 30000) &&
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
    read(run->mocks.serial, 3800, 2); // the second reading confirms it
    ASSERT_TRUE(mailed(1)) << subjects().join('\n').toStdString();
    EXPECT_EQ(std::pair(run->parts.losses().loss(1), run->parts.states().status(1).condition),
              std::pair(true, TankCondition::Loss));

    startApp();
    EXPECT_TRUE(run->parts.losses().loss(1)) << "kept across the restart";
    read(run->mocks.serial, 3800, 3 * 6);
    EXPECT_TRUE(mailed(1)) << "not over after 3 hours";
    read(run->mocks.serial, 3800, 2 * 6);
    ASSERT_TRUE(mailed(2)) << subjects().join('\n').toStdString();
    EXPECT_EQ(std::pair(run->parts.losses().loss(1), run->parts.states().status(1).condition),
              std::pair(false, TankCondition::Ok));
    EXPECT_EQ(subjects(), (QStringList{"Verlust", "Verlust beendet"}));

    // 1.6 % in 20 minutes: below the limit of 3 points, above one of 1.
    EmailValues v = run->parts.emailSettings().values();
    v.verlustProzent = 1;
    run->parts.emailSettings().save(v);
    read(run->mocks.serial, 3760);
    read(run->mocks.serial, 3720, 2);
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
    ASSERT_EQ(run->parts.tanks().DeviceCount(), 1);
    EXPECT_FALSE(run->parts.losses().loss(1));
    EXPECT_NE(run->parts.states().status(1).condition, TankCondition::Loss);
    // Anything the rules mail meanwhile has gone out; none of it is a loss.
    WaitFor([&] { return !run->parts.email().busy(); }, 30000);
    EXPECT_FALSE(subjects().contains("Verlust")) << subjects().join('\n').toStdString();
}

// A tank whose alarm is off says nothing of its theft while another tank's
// theft is mailed; a single reading 8 % low and back says nothing; a tank
// judged only in its quiet hours lets a larger draw by day pass and reports
// a theft at night.
TEST_F(LossRoad, OwnLimitsQuietHoursAndSingleReadings)
{
    configure(peer.port, "[Common]\r\nActiveCom=1\r\n",
              "VerlustProzent1=0\r\nVerlustRuhezeit3=20:00-06:00\r\n");
    startApp();
    for (int i = 0; i < 6; ++i)
        round({{101, 4000}, {102, 4000}, {103, 4000}});
    round({{101, 3700}, {102, 3600}, {103, 3500}}); // 6 %, an outlier, 10 % by day
    for (int i = 0; i < 6; ++i)
        round({{101, 3700}, {102, 4000}, {103, 3500}});
    ASSERT_EQ(run->parts.tanks().DeviceCount(), 3);
    round({{101, 3700}, {102, 3800}, {103, 3500}}); // tank 2's theft of 4 %
    round({{101, 3700}, {102, 3800}, {103, 3500}});
    ASSERT_TRUE(WaitFor([&] { return !lossSubjects().isEmpty(); }, 30000));
    // Tank 3 alone until night (10:30 + 2:20 + 8:40 = 21:30), then 3.6 % gone.
    for (int i = 0; i < 52; ++i)
        round({{103, 3500}});
    round({{103, 3320}});
    round({{103, 3320}});
    ASSERT_TRUE(WaitFor([&] { return lossSubjects().size() >= 2 && !run->parts.email().busy(); }, 30000));
    QStringList tanks;
    for (const QString &subject : lossSubjects())
        tanks << subject.section(" : ", -1);
    EXPECT_EQ(tanks, (QStringList{"Tank 2 / SN 102", "Tank 3 / SN 103"}));
}

// A month of losses of one tank (a theft every other day, each over after
// 4 steady hours) leaves the daily report on its raster: the loss mails
// change neither "LetzteEmail" nor the reported levels.
TEST_F(LossRoad, LossMailsLeaveTheCyclicReportOnItsRaster)
{
    now = Clock::Naive(QDate(2026, 3, 14), QTime(0, 0));
    const QDateTime start = now;
    configure(peer.port, "[Common]\r\nActiveCom=1\r\n", "Abstand 1 in h=24\r\n");
    startApp();
    int level = 4000;
    for (int hour = 1; hour <= 30 * 24; ++hour) {
        if (hour % 48 == 36) // noon of every other day
            level -= 175;
        round({{201, level}, {202, 3000}}, 3600);
        ASSERT_TRUE(WaitFor([&] { return !run->parts.email().busy(); }, 30000));
    }
    const QStringList reasons = subjects();
    EXPECT_EQ(reasons.count("Verlust"), 15);
    EXPECT_EQ(reasons.count("Verlust beendet"), 15);
    EXPECT_EQ(reasons.count("Zyklische Meldung"), 30) << reasons.join('\n').toStdString();
    EXPECT_EQ(run->settings.read(Cfg::Email::LetzteEmail), FormatDateText(start.addDays(30)));
    EXPECT_EQ(run->settings.read(Cfg::Email::MelderasterLast.at(2)), "60");
}
