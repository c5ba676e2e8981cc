// Deleting a range of tanks (records, histories and tank files move forward)
// and deleting the whole configuration.
#include "support/Fixtures.h"

#include "model/Maintenance.h"

#include <QDir>
#include <QFile>

namespace
{

class MaintenanceTest : public ControllerTest
{
protected:
    // Tanks 1..count with names, histories and tank files in their own log folder.
    void makeTanks(int count)
    {
        switches.setLogFolder(logDir_.path() + '/');
        for (int n = 1; n <= count; ++n) {
            ASSERT_TRUE(feed(1000 + n));
            DeviceRecord &r = tanks.device(n);
            r.Tankbezeichnung = QStringLiteral("Tank-%1").arg(n);
            for (int i = 0; i < n; ++i)
                r.History.append(now.addSecs(i), n * 100 + i, n);
            writeBytes(tankFile(n), "history of " + QByteArray::number(1000 + n));
        }
        ui.shown.clear();
    }
    QString tankFile(int n) const { return switches.logFolder() + QStringLiteral("Tank%1.csv").arg(n); }
    // The files of the log folder as "name=content".
    QStringList logFiles() const
    {
        QStringList out;
        for (const QFileInfo &f : QDir(switches.logFolder()).entryInfoList(QDir::Files, QDir::Name))
            out << f.fileName() + "=" + readBytes(f.filePath());
        return out;
    }
    bool deleteTanks(const QString &firstAnswer, const QString &lastAnswer)
    {
        ui.inputs = {firstAnswer, lastAnswer};
        const int before = restarts;
        maintenance.DeleteTanks("Löschen", [this] { ++restarts; });
        return restarts > before;
    }
    // True when the deletion was confirmed.
    bool deleteConfiguration()
    {
        maintenance.DeleteConfiguration([this] { ++ends; });
        return tanks.registry().stopped();
    }

    QTemporaryDir logDir_;
    Maintenance maintenance{tanks, switches, ui, texts, clock};
    int restarts = 0;
    int ends = 0;
};

} // namespace

TEST_F(MaintenanceTest, DeletingTwoToThreeOfFiveMovesTheRestForward)
{
    makeTanks(5);
    // Tanks without a file: removed (3), and moved to a number that keeps none (4).
    QFile::remove(tankFile(3));
    QFile::remove(tankFile(4));
    const QStringList kept = {Fields(tanks.device(1)), Fields(tanks.device(4)), Fields(tanks.device(5))};
    ASSERT_TRUE(deleteTanks("2", "3"));
    ASSERT_EQ(tanks.DeviceCount(), 3);
    const int historyLength[] = {1, 4, 5};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(Fields(tanks.device(n)), kept[n - 1]);
        ASSERT_EQ(tanks.device(n).History.count(), historyLength[n - 1]) << n;
        EXPECT_DOUBLE_EQ(tanks.device(n).History.HistoryValues[1], historyLength[n - 1] * 100);
    }
    EXPECT_EQ(tanks.device(4).History.count(), 0) << "nothing left behind the table";
    EXPECT_TRUE(events.contains("tableReset"));
    EXPECT_EQ(ini({"Geräte/Anzahl", "Gerät2/SN", "Gerät3/Tankbezeichnung"}),
              (QStringList{"3", "1004", "Tank-5"}));

    // The tank files follow their tanks; the removed ones are kept aside.
    EXPECT_EQ(logFiles(), (QStringList{"Tank1.csv=history of 1001", "Tank3.csv=history of 1005",
                                       "deleted_Tank2_20260314_103000.csv=history of 1002"}));
}

// Answers are rounded half to even; invalid ones beep and change nothing.
TEST_F(MaintenanceTest, AnswersRoundedInvalidOnesBeepAndChangeNothing)
{
    const std::pair<const char *, int> answers[] = {{"2.5", 2}, {"3.5", 4}, {"2,7", 3}, {" 4 Tanks", 4}};
    for (const auto &[text, number] : answers)
        EXPECT_EQ(Maintenance::TankNumberAnswer(text), number) << text;
    makeTanks(3);
    const QByteArray fileBefore = readBytes(iniPath());
    const QStringList filesBefore = logFiles();
    // No first number, below the first tank, last before first, beyond the table.
    const std::pair<const char *, const char *> cases[] = {{"abc", "2"}, {"0", "2"}, {"3", "2"}, {"2", "4"}};
    for (const auto &[first, last] : cases) {
        ui.shown.clear();
        EXPECT_FALSE(deleteTanks(first, last)) << first;
        EXPECT_EQ(ui.count("beep"), 1) << first;
    }
    // Client mode: the serving installation's tanks are not ours to delete.
    config.clientMode = true;
    ui.shown.clear();
    EXPECT_FALSE(deleteTanks("1", "1"));
    EXPECT_EQ(ui.count("input"), 0);
    EXPECT_EQ(readBytes(iniPath()), fileBefore);
    EXPECT_EQ(logFiles(), filesBefore);
}

TEST_F(MaintenanceTest, ConfigurationDeletionKeepingTankFiles)
{
    switches.setLogIniActive(true);
    makeTanks(2);
    ASSERT_TRUE(QFile::exists(switches.logFolder() + "Tankmon.ini"));
    ui.holdBoxes = true;
    deleteConfiguration();
    ui.answerOpenBox(MsgResult::Yes);
    // Telegrams keep arriving while the next box is open; once the deletion
    // is confirmed none of them is evaluated and nothing brings the file back.
    EXPECT_FALSE(feed(1001));
    EXPECT_FALSE(feed(9999));
    tanks.registry().SaveDeviceRegistry();
    tanks.ComboSN_Click(2);
    ui.answerOpenBox(MsgResult::No);
    EXPECT_EQ(ends, 0) << "the end waits for the last box";
    ui.answerOpenBox(MsgResult::Ok);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(logFiles(), (QStringList{"Tank1.csv=history of 1001", "Tank2.csv=history of 1002"}));
}

TEST_F(MaintenanceTest, ConfigurationDeletionWithTankFiles)
{
    makeTanks(3);
    writeBytes(switches.logFolder() + "Other.csv", "keep");
    QFile::remove(tankFile(2)); // a missing file is skipped silently
    // Declined: nothing changes, telegrams are still evaluated.
    ui.answers = {MsgResult::No};
    EXPECT_FALSE(deleteConfiguration());
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_TRUE(feed(1001));
    ui.answers = {MsgResult::Yes, MsgResult::Yes};
    EXPECT_TRUE(deleteConfiguration());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(logFiles(), QStringList{"Other.csv=keep"});
}
