#include "support/TestSupport.h"

#include "core/Paths.h"

// (Folders made on the way: the settings tests, first write and a file in the way.)
using PathRules = DataDirTest;

TEST_F(PathRules, DataFolderAndFileNamesOfAnyCase)
{
    QTemporaryDir other;
    qputenv("TANKMON_DATA_DIR", other.path().toUtf8());
    EXPECT_EQ(Paths::DefaultDataFolder("VALMOR", "Tankmon"), other.path() + "/");
    EXPECT_EQ(Paths::DefaultDataFolder("VALMOR", "Tankmon", dataDir() + "x/../given"), dataDir() + "given/");
    qunsetenv("TANKMON_DATA_DIR");
    EXPECT_TRUE(Paths::DefaultDataFolder("VALMOR", "Tankmon").endsWith("/VALMOR/Tankmon/"));
    // File names from Windows are found whatever their case.
    writeBytes(dataDir() + "TANK3.CSV", "x");
    EXPECT_EQ(Paths::ResolveNoCase(dataDir() + "Tank3.csv"), dataDir() + "TANK3.CSV");
    EXPECT_EQ(Paths::ResolveNoCase(dataDir() + "Tank4.csv"), dataDir() + "Tank4.csv");
    EXPECT_EQ(Paths::FileNameIfExists(dataDir() + "tank*.csv"), "TANK3.CSV");
    EXPECT_EQ(Paths::FileNameIfExists(dataDir() + "nothing*.txt"), "");
}
