#include "support/TestSupport.h"

#include "core/Paths.h"
#include "core/RunState.h"

#include <QDir>
#include <QFileInfo>

class PathRules : public DataDirTest {};

TEST_F(PathRules, DataFolderEndsInSeparatorAndIsCached)
{
    const QString d = Paths::DataFilePath(QString());
    EXPECT_TRUE(d.endsWith('/'));
    EXPECT_EQ(Paths::DataFilePath("Tankmon.ini"), d + "Tankmon.ini");
    Paths::SetDataDirOverride(QString());
    // Cached once asked for with an empty name... but SetDataDirOverride resets
    // the cache, so the computed folder now follows the company/program layout.
    qputenv("TANKMON_DATA_DIR", QByteArray());
    const QString computed = Paths::DataFilePath("x");
    EXPECT_TRUE(computed.endsWith("/VALMOR/Tankmon/x")) << qPrintable(computed);
    State().partnerBranding = true;
    EXPECT_TRUE(Paths::DataFilePath("x").endsWith("/ARV/Tankmon/x"));
}

TEST_F(PathRules, EnvironmentReplacesTheDataFolder)
{
    Paths::SetDataDirOverride(QString());
    QTemporaryDir other;
    qputenv("TANKMON_DATA_DIR", other.path().toUtf8());
    EXPECT_EQ(Paths::DataFilePath(QString()), other.path() + "/");
    qunsetenv("TANKMON_DATA_DIR");
}

TEST_F(PathRules, EnsureFolderCreatesEveryLevel)
{
    QString p = dataDir() + "a/b/c";
    EXPECT_FALSE(Paths::EnsureFolder(p));
    EXPECT_TRUE(QFileInfo(p).isDir());
    EXPECT_EQ(Paths::EnsureFolderPath(p), dataDir() + "a/b/c/");
    writeBytes(dataDir() + "file", "x");
    EXPECT_TRUE(Paths::EnsureFolder(dataDir() + "file/sub")); // a file is in the way
}

TEST_F(PathRules, FileNamesFromWindowsAreFoundWhateverTheirCase)
{
    writeBytes(dataDir() + "TANK3.CSV", "x");
    EXPECT_EQ(Paths::ResolveNoCase(dataDir() + "Tank3.csv"), dataDir() + "TANK3.CSV");
    EXPECT_EQ(Paths::ResolveNoCase(dataDir() + "Tank4.csv"), dataDir() + "Tank4.csv");
    EXPECT_EQ(Paths::FileNameIfExists(dataDir() + "tank*.csv"), "TANK3.CSV");
    EXPECT_EQ(Paths::FileNameIfExists(dataDir() + "nothing*.txt"), "");
    EXPECT_EQ(Paths::FileNameIfExists("/no/such/folder/x"), "");
}

TEST_F(PathRules, ExeFileNameAndProgramFolder)
{
    EXPECT_EQ(Paths::ExeFileName(".ini"), "Tankmon.ini");
    EXPECT_TRUE(Paths::ProgramFilePath("info.wav").endsWith("/info.wav"));
}
