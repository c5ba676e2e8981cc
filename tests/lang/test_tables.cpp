#include "support/TestSupport.h"

#include "core/Settings.h"
#include "lang/AccessKeys.h"
#include "lang/Lng.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <set>

namespace
{
// Reads the ids of a table straight from its embedded data file.
std::set<int> idsOf(int lng)
{
    std::set<int> ids;
    QFile f(QStringLiteral(":/lang/lng_%1.txt").arg(lng));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "table " << lng;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            ids.insert(line.left(line.indexOf('\t')).toInt());
    return ids;
}

QString text(int lng, int id)
{
    SetLngId(lng);
    return LngText(id);
}

// Leading and trailing blanks of a text, as "2+0".
QString blanks(const QString &s)
{
    static const QRegularExpression lead("^ *"), trail(" *$");
    return QStringLiteral("%1+%2").arg(lead.match(s).capturedLength()).arg(trail.match(s).capturedLength());
}

const int kMultiLine[] = {141, 142, 143, 233, 234};
} // namespace

class LanguageTables : public ::testing::TestWithParam<int>
{
protected:
    void TearDown() override { SetLngId(0); }
};

// Every table holds the German table's ids, none of them empty; an id no
// table knows gives an empty text; each language has its entry in the list.
TEST_P(LanguageTables, HoldExactlyTheIdsOfTheGermanTable)
{
    const std::set<int> german = idsOf(1);
    ASSERT_GT(german.size(), 280u);
    EXPECT_EQ(idsOf(GetParam()), german);
    for (int id : german)
        EXPECT_FALSE(text(GetParam(), id).isEmpty()) << "empty id " << id;
    for (int id : {16, 52, 387})
        EXPECT_EQ(text(GetParam(), id), "") << id;
    if (GetParam() > 1) {
        EXPECT_NE(text(GetParam(), 313), text(1, 313)) << "untranslated caption";
    }
    const QList<LanguageEntry> list = LanguageList();
    EXPECT_EQ(std::count_if(
                  list.begin(), list.end(),
                  [lng = GetParam()](const LanguageEntry &e) { return e.id == lng && !e.name.isEmpty(); }),
              1);
}

TEST_P(LanguageTables, KeepTheFormThatTheProgramDependsOn)
{
    const int lng = GetParam();
    for (int id : idsOf(1)) {
        const QString de = text(1, id), t = text(lng, id);
        EXPECT_EQ(blanks(t), blanks(de)) << "id " << id << " [" << qPrintable(t) << "]";
        EXPECT_EQ(t.count('&'), de.count('&')) << "accelerator of id " << id;
        EXPECT_EQ(t.count("%s"), de.count("%s")) << "id " << id;
    }
    for (int id : {260, 266, 268, 275, 410})
        EXPECT_EQ(text(lng, id).count("%s"), 1) << id;
    for (int id : {401, 402, 403}) // days until empty, then the date
        EXPECT_EQ(text(lng, id).count("%s"), 2) << id;
    for (int id : kMultiLine)
        EXPECT_EQ(text(lng, id).split("\r\n").size(), text(1, id).split("\r\n").size()) << id;
    // The twelve thresholds of the e-mail dialog, the last one at 90 %.
    SetLngId(lng);
    EXPECT_EQ(LngLines(142).size(), 12);
    EXPECT_TRUE(LngLines(142).last().contains("90")) << qPrintable(LngLines(142).last());
    // Settings keys and file name parts: the same in every language.
    for (int id : {242, 244, 245, 246, 248})
        EXPECT_EQ(text(lng, id), text(1, id)) << id;
    EXPECT_TRUE(QRegularExpression("^[A-Za-z][A-Za-z0-9_-]*\\.csv$").match(text(lng, 356)).hasMatch())
        << qPrintable(text(lng, 356));
    // The unit word goes into the tank files, where a blank would be a field separator.
    EXPECT_FALSE(text(lng, 26).contains(' '));
}

TEST_P(LanguageTables, SubjectPlaceholdersConvertBackUniquely)
{
    const int lng = GetParam();
    std::map<QString, int> seen;
    for (int id = 87; id <= 127; ++id) {
        const bool input = (id >= 102 && id <= 116) || id == 124 || id == 127;
        if (id > 116 && id != 123 && id != 126 && !input)
            continue;
        const QString t = text(lng, id);
        if (text(1, id).startsWith('<')) {
            EXPECT_TRUE(t.startsWith('<') && t.endsWith('>') && t.size() > 2) << id << qPrintable(t);
        }
        // Placeholders typed into a subject are converted back: each must be unique.
        if (input) {
            EXPECT_NE(t, "<>") << id;
            const auto [it, fresh] = seen.emplace(t, id);
            EXPECT_TRUE(fresh) << "ids " << it->second << " and " << id << " share " << qPrintable(t);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTen, LanguageTables, ::testing::Range(1, 11));

TEST(AccessKeys, UniqueLettersKeptOrChosen)
{
    const std::pair<QStringList, QStringList> cases[] = {
        // A letter taken twice stays with the first; the second picks anew.
        {{"&Ok", "&Ordner", "Ende"}, {"&Ok", "O&rdner", "&Ende"}},
        // Word beginnings before inner letters, plain letters before others.
        {{"Tanks löschen", "Option Temperaturkorrektur", "Tabelle"},
         {"&Tanks löschen", "&Option Temperaturkorrektur", "T&abelle"}},
        {{"Ö", "Öl"}, {"&Ö", "Ö&l"}},
        {{"A", "a"}, {"&A", "a"}}, // no letter left
        {{"Fish && Chips"}, {"&Fish && Chips"}},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(WithAccessKeys(in), out) << qPrintable(in.join('|'));
}

class LanguageInit : public DataDirTest
{
protected:
    void TearDown() override { SetLngId(1); }
    bool init(const QString &commandLine, const std::function<int()> &choose = {})
    {
        return LngInit(commandLine.split(' ', Qt::SkipEmptyParts), settings, choose);
    }
};

// The command line wins without touching the settings; an absent key is
// German, an explicit zero asks, an id naming no language is refused.
TEST_F(LanguageInit, CommandLineThenSettingsThenTheUsersChoice)
{
    int asked = 0;
    const auto choose = [&] {
        ++asked;
        return 4;
    };
    EXPECT_TRUE(init("", choose));
    EXPECT_EQ(LngId(), 1);
    settings.write(Cfg::LngId, 0);
    EXPECT_TRUE(init("", choose));
    EXPECT_EQ(std::pair(asked, LngId()), std::pair(1, 4));
    EXPECT_FALSE(init("", [] { return 0; })); // the selection closed without a choice
    settings.write(Cfg::LngId, 1);
    const QByteArray before = readBytes(iniPath());
    // LNGID=0 or a letter fall back to the settings file.
    for (const auto &[cl, id] :
         {std::pair("CLIENT LNGID=2", 2), {"LNGID=0", 1}, {"LNGID=x", 1}, {"lngid=2", 1}}) {
        EXPECT_TRUE(init(cl));
        EXPECT_EQ(LngId(), id) << cl;
    }
    EXPECT_EQ(readBytes(iniPath()), before);
    EXPECT_FALSE(init("LNGID=11"));
    EXPECT_EQ(LngText(17), "") << "no text is looked up with it";
}
