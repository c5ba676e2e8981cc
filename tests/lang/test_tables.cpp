#include "support/TestSupport.h"

#include "core/Settings.h"
#include "lang/AccessKeys.h"
#include "lang/Lng.h"
#include "lang/Plural.h"

#include <QFile>
#include <QRegularExpression>
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
// table knows gives an empty text.
TEST_P(LanguageTables, HoldExactlyTheIdsOfTheGermanTable)
{
    const std::set<int> german = idsOf(1);
    ASSERT_GT(german.size(), 280u);
    EXPECT_EQ(idsOf(GetParam()), german);
    for (int id : german)
        EXPECT_FALSE(text(GetParam(), id).isEmpty()) << "empty id " << id;
    for (int id : {16, 52, 387})
        EXPECT_EQ(text(GetParam(), id), "") << id;
    EXPECT_TRUE(GetParam() == 1 || text(GetParam(), 313) != text(1, 313)) << "untranslated caption";
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
    for (int id : kMultiLine)
        EXPECT_EQ(text(lng, id).split("\r\n").size(), text(1, id).split("\r\n").size()) << id;
    // Words that follow a number: one line per plural form of the language.
    const QStringList forms = text(lng, 900).split("\r\n");
    EXPECT_EQ(forms.size(), PluralFormCount(lng));
    EXPECT_EQ(forms.filter(QRegularExpression("^\\S(.*\\S)?$")).size(), forms.size()) << "a blank form";
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

// The unit word after a number, as a reader of each language expects it.
TEST(PluralForms, UnitWordFollowsTheNumber)
{
    const std::pair<int, const char *> cases[] = {
        {10, "1 litr|2 litry|4 litry|5 litrów|12 litrów|14 litrów|21 litrów|22 litry|0 litrów|112 litrów|"
             "2284 litry|1945 litrów"},
        {8, "1 litra|21 litra|11 litara|2 litre|24 litre|13 litara|5 litara|101 litra|111 litara"},
        {9, "1 litru|2 litri|19 litri|20 de litri|101 de litri|102 litri|0 litri|2284 de litri"},
        {1, "1 Liter|2284 Liter"},
        {2, "1 litre|0 litres|2 litres"},
        {4, "0 litre|1 litre|2 litres"},
    };
    for (const auto &[lng, expected] : cases) {
        QStringList got;
        for (const QString &c : QString::fromUtf8(expected).split('|'))
            got << c.section(' ', 0, 0) + ' ' +
                       PluralText(Texts(lng), 900, c.section(' ', 0, 0).toLongLong());
        EXPECT_EQ(got.join('|'), QString::fromUtf8(expected)) << "language " << lng;
    }
}

TEST(AccessKeys, UniqueLettersKeptOrChosen)
{
    const std::pair<QStringList, QStringList> cases[] = {
        // A letter taken twice stays with the first; the second picks anew.
        {{"&Ok", "&Ordner", "Ende"}, {"&Ok", "O&rdner", "&Ende"}},
        // Word beginnings before inner letters, plain letters before others.
        {{"Tanks löschen", "Option Temperaturkorrektur", "Tabelle"},
         {"&Tanks löschen", "&Option Temperaturkorrektur", "T&abelle"}},
        {{"A", "a"}, {"&A", "a"}}, // no letter left
        {{"Fish && Chips"}, {"&Fish && Chips"}},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(WithAccessKeys(in), out) << qPrintable(in.join('|'));
}

using LanguageInit = DataDirTest;

// The command line wins without touching the settings; an absent key is the
// system's language (English for one without a table), an explicit zero
// asks (an id naming no language: Startup.InvalidLanguageIdIsCorrectedAndWrittenBack).
TEST_F(LanguageInit, CommandLineThenSettingsThenTheUsersChoice)
{
    // Whether it went on, and the language it then speaks; asked, the user chooses `choice`.
    const auto init = [&](const char *commandLine, const char *locale = "de_DE", int choice = 5) {
        const bool ok = LngInit(
            QString(commandLine).split(' ', Qt::SkipEmptyParts), settings, [choice] { return choice; },
            QLocale(locale));
        return QStringLiteral("%1:%2").arg(ok).arg(LngId());
    };
    QStringList chosen;
    for (const char *locale : {"de_AT", "pl_PL", "en_GB", "hr_HR", "fr_BE", "nl_BE", "ja_JP", "C"})
        chosen << init("", locale);
    EXPECT_EQ(settings.read(Cfg::LngId, "none"), "none") << "the lookup stores nothing";
    settings.write(Cfg::LngId, 0);
    chosen << init("");
    EXPECT_EQ(chosen.join(' '), "1:1 1:10 1:2 1:8 1:4 1:7 1:2 1:2 1:5") << "asked only for the zero";
    EXPECT_TRUE(init("", "de_DE", 0).startsWith('0')) << "the selection closed without a choice";
    settings.write(Cfg::LngId, 1);
    const QByteArray before = readBytes(iniPath());
    // LNGID=0 or a letter fall back to the settings file.
    EXPECT_EQ(QStringList({init("CLIENT LNGID=2"), init("LNGID=0"), init("LNGID=x"), init("lngid=2")}),
              QStringList({"1:2", "1:1", "1:1", "1:1"}));
    EXPECT_EQ(readBytes(iniPath()), before);
    SetLngId(1);
}
