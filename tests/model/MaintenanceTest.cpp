// Deleting a range of tanks (records, histories and tank files move forward)
// and deleting the whole configuration.
#include "ControllerFixture.h"

#include "core/RunState.h"
#include "model/Maintenance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class MaintenanceTest : public ControllerTest
{
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        ASSERT_TRUE(logDir_.isValid());
        State().logFolder = logDir_.path() + QLatin1Char('/');
    }
    // Tanks 1..count with names, units, coefficients, histories and tank files.
    void makeTanks(int count)
    {
        for (int n = 1; n <= count; ++n) {
            ASSERT_TRUE(feed(dev(1000 + n)));
            DeviceRecord &r = tanks.device(n);
            r.Tankbezeichnung = QStringLiteral("Tank-%1").arg(n);
            r.Einheit = n % 8;
            r.TempKorr = n;
            for (int i = 0; i < n; ++i)
                r.History.append(now.addSecs(i), n * 100 + i, n);
            writeBytes(tankFile(n), "history of " + QByteArray::number(1000 + n) + "\r\n");
        }
        ui.shown.clear();
        restarts = 0;
    }
    QString tankFile(int n) const { return State().logFolder + QStringLiteral("Tank%1.csv").arg(n); }
    bool deleteTanks(const QString &firstAnswer, const QString &lastAnswer)
    {
        ui.inputs = {firstAnswer, lastAnswer};
        return Maintenance::DeleteTanks(tanks, QStringLiteral("Löschen"), [this] { ++restarts; });
    }

    QTemporaryDir logDir_;
    int restarts = 0;
};

} // namespace

TEST_F(MaintenanceTest, DeletingTwoToThreeOfFiveMovesTheRestForward)
{
    makeTanks(5);
    ASSERT_TRUE(deleteTanks(QStringLiteral("2"), QStringLiteral("3")));
    EXPECT_EQ(restarts, 1);
    ASSERT_EQ(tanks.DeviceCount(), 3);
    const int expectedSn[4] = {0, 1001, 1004, 1005};
    for (int n = 1; n <= 3; ++n) {
        const DeviceRecord &r = tanks.device(n);
        const int old = expectedSn[n] - 1000;
        EXPECT_EQ(r.SN, expectedSn[n]);
        EXPECT_EQ(r.Tankbezeichnung, QStringLiteral("Tank-%1").arg(old));
        EXPECT_EQ(r.Einheit, old % 8);
        EXPECT_DOUBLE_EQ(r.TempKorr, old);
        ASSERT_EQ(r.History.count(), old) << n;
        EXPECT_DOUBLE_EQ(r.History.HistoryValues[1], old * 100);
    }
    EXPECT_EQ(tanks.device(4).History.count(), 0) << "nothing left behind the table";
    EXPECT_TRUE(events.contains(QStringLiteral("tableReset")));

    // Saved: the new count and the moved records; the prompts as asked.
    EXPECT_EQ(iniValue(QStringLiteral("Geräte"), QStringLiteral("Anzahl")), QStringLiteral("3"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät2"), QStringLiteral("SN")), QStringLiteral("1004"));
    EXPECT_EQ(iniValue(QStringLiteral("Gerät3"), QStringLiteral("Tankbezeichnung")),
              QStringLiteral("Tank-5"));
    ASSERT_EQ(ui.count(QStringLiteral("input")), 2);
    EXPECT_EQ(ui.shown[0].text, QStringLiteral("Ersten Tank eingeben: "));
    EXPECT_EQ(ui.shown[0].title, QStringLiteral("Löschen"));
    EXPECT_TRUE(ui.shown[1].text.startsWith(QStringLiteral("Letzten Tank eingeben: ")));
    EXPECT_TRUE(ui.shown[1].text.endsWith(QStringLiteral("nach vorne.")));

    // The tank files follow their tanks; the removed ones are kept aside.
    EXPECT_EQ(readBytes(tankFile(1)), QByteArray("history of 1001\r\n"));
    EXPECT_EQ(readBytes(tankFile(2)), QByteArray("history of 1004\r\n"));
    EXPECT_EQ(readBytes(tankFile(3)), QByteArray("history of 1005\r\n"));
    EXPECT_FALSE(QFile::exists(tankFile(4)));
    EXPECT_FALSE(QFile::exists(tankFile(5)));
    const QStringList aside =
        QDir(State().logFolder).entryList({QStringLiteral("deleted_Tank*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 2);
    EXPECT_EQ(readBytes(State().logFolder + aside.filter(QStringLiteral("Tank2_"))[0]),
              QByteArray("history of 1002\r\n"));
}

TEST_F(MaintenanceTest, DeletingTheLastTankAlone)
{
    makeTanks(3);
    ASSERT_TRUE(deleteTanks(QStringLiteral("3"), QStringLiteral("3")));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(tanks.device(2).SN, 1002);
    EXPECT_EQ(readBytes(tankFile(2)), QByteArray("history of 1002\r\n"));
    EXPECT_FALSE(QFile::exists(tankFile(3)));
    EXPECT_EQ(restarts, 1);
}

TEST_F(MaintenanceTest, AnswersAreRoundedHalfToEven)
{
    EXPECT_EQ(Maintenance::TankNumberAnswer(QStringLiteral("2.5")), 2);
    EXPECT_EQ(Maintenance::TankNumberAnswer(QStringLiteral("3.5")), 4);
    EXPECT_EQ(Maintenance::TankNumberAnswer(QStringLiteral("2,7")), 3);
    EXPECT_EQ(Maintenance::TankNumberAnswer(QStringLiteral(" 4 Tanks")), 4);
    EXPECT_EQ(Maintenance::TankNumberAnswer(QStringLiteral("abc")), 0);
    EXPECT_EQ(Maintenance::TankNumberAnswer(QString()), 0);

    makeTanks(5);
    ASSERT_TRUE(deleteTanks(QStringLiteral("2.5"), QStringLiteral("2,5")));
    EXPECT_EQ(tanks.DeviceCount(), 4);
    EXPECT_EQ(tanks.device(2).SN, 1003);
}

TEST_F(MaintenanceTest, InvalidAnswersBeepAndChangeNothing)
{
    makeTanks(3);
    const QByteArray fileBefore = readBytes(iniPath());
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("abc"), QStringLiteral("2")}, // no first number
        {QStringLiteral("0"), QStringLiteral("2")},
        {QStringLiteral("-2"), QStringLiteral("-1")}, // below the first tank
        {QStringLiteral("3"), QStringLiteral("2")},   // last before first
        {QStringLiteral("2"), QStringLiteral("4")},   // beyond the table
        {QStringLiteral("2"), QStringLiteral("x")},   // last 0
    };
    for (const auto &c : cases) {
        ui.shown.clear();
        EXPECT_FALSE(deleteTanks(c.first, c.second)) << qPrintable(c.first);
        EXPECT_EQ(ui.count(QStringLiteral("beep")), 1) << qPrintable(c.first);
    }
    EXPECT_EQ(tanks.DeviceCount(), 3);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(readBytes(iniPath()), fileBefore);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(readBytes(tankFile(n)), "history of " + QByteArray::number(1000 + n) + "\r\n");
}

TEST_F(MaintenanceTest, ClientModeDeletesNothing)
{
    makeTanks(2);
    State().clientMode = true;
    EXPECT_FALSE(deleteTanks(QStringLiteral("1"), QStringLiteral("1")));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    EXPECT_EQ(ui.count(QStringLiteral("input")), 0);
    EXPECT_EQ(restarts, 0);
}

TEST_F(MaintenanceTest, DecliningConfigurationDeletionChangesNothing)
{
    makeTanks(2);
    int ends = 0;
    ui.answers = {MsgResult::No};
    EXPECT_FALSE(Maintenance::DeleteConfiguration(tanks, [&] { ++ends; }));
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_TRUE(QFile::exists(tankFile(1)));
    EXPECT_TRUE(feed(dev(1001))) << "telegrams are still evaluated";
}

TEST_F(MaintenanceTest, ConfigurationDeletionKeepingTankFiles)
{
    State().logIniActive = true;
    makeTanks(2);
    const QString copy = State().logFolder + QStringLiteral("Tankmon.ini");
    ASSERT_TRUE(QFile::exists(copy));
    int ends = 0;
    ui.answers = {MsgResult::Yes, MsgResult::No, MsgResult::Ok};
    // Telegrams keep arriving while the boxes are open; once the deletion is
    // confirmed none of them is evaluated and nothing brings the file back.
    int boxes = 0;
    ui.whileOpen = [&] {
        if (boxes++ == 0)
            return;
        EXPECT_FALSE(feed(dev(1001)));
        EXPECT_FALSE(feed(dev(9999)));
        tanks.SaveDeviceRegistry();
        tanks.ComboSN_Click(2);
    };
    EXPECT_TRUE(Maintenance::DeleteConfiguration(tanks, [&] { ++ends; }));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_TRUE(QFile::exists(tankFile(1)));
    EXPECT_TRUE(QFile::exists(tankFile(2)));
    EXPECT_EQ(tanks.DeviceCount(), 2);
    const QStringList texts = ui.texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], QStringLiteral("Soll wirklich die komplette Konfiguration gelöscht werden ?"));
    EXPECT_EQ(texts[1], QStringLiteral("Sollen auch die Tank Daten gelöscht werden ?"));
    EXPECT_EQ(texts[2], QStringLiteral("Konfiguration gelöscht, Programm wird beendet."));
    ASSERT_EQ(ui.shown.size(), 3);
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(ui.shown[1].icon, MsgIcon::Question);
    EXPECT_EQ(ui.shown[2].icon, MsgIcon::Information);
    EXPECT_EQ(ui.shown[2].title, QStringLiteral("Konfiguration löschen"));
}

TEST_F(MaintenanceTest, ConfigurationDeletionWithTankFiles)
{
    makeTanks(3);
    writeBytes(State().logFolder + QStringLiteral("Other.csv"), "keep\r\n");
    QFile::remove(tankFile(2)); // a missing file is skipped silently
    int ends = 0;
    ui.answers = {MsgResult::Yes, MsgResult::Yes};
    EXPECT_TRUE(Maintenance::DeleteConfiguration(tanks, [&] { ++ends; }));
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(QFile::exists(tankFile(n)));
    EXPECT_TRUE(QFile::exists(State().logFolder + QStringLiteral("Other.csv")));
}

TEST_F(MaintenanceTest, MoveTankFilesKeepsEveryFile)
{
    const QString dir = State().logFolder;
    for (int n : {1, 2, 4, 6})
        writeBytes(dir + QStringLiteral("Tank%1.csv").arg(n), QByteArray::number(n));
    // Remove 2..3 of 6: 4 -> 2 (3 had no file), 5 had none, 6 -> 4.
    ASSERT_TRUE(Maintenance::MoveTankFiles(dir, 2, 3, 6, QStringLiteral("X")));
    EXPECT_EQ(readBytes(dir + QStringLiteral("Tank1.csv")), QByteArray("1"));
    EXPECT_EQ(readBytes(dir + QStringLiteral("Tank2.csv")), QByteArray("4"));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("Tank3.csv")));
    EXPECT_EQ(readBytes(dir + QStringLiteral("Tank4.csv")), QByteArray("6"));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("Tank6.csv")));
    EXPECT_EQ(readBytes(dir + QStringLiteral("deleted_Tank2_X.csv")), QByteArray("2"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 4);
}
