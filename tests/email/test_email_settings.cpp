// The e-mail settings object over a real settings file: stored numbers, the
// tanks that take part, and the stored passwords.
#include "support/TestSupport.h"

#include "core/Cp1252.h"
#include "core/IniStore.h"
#include "email/EmailSettings.h"
#include "email/PasswordScramble.h"
#include "model/DeviceRecord.h"

namespace
{

class EmailSettingsTest : public DataDirTest
{
protected:
    DeviceTable devices;
};

// Stored numbers select the nearest item of the dialog's lists; a tank
// registered after the values were loaded takes part by its own key.
TEST_F(EmailSettingsTest, StoredNumbersSelectTheNearestItemLaterTanksTakePartByTheirKey)
{
    devices.DeviceCount = 1;
    settings.write(Cfg::Device::EmailAktiv.at(1), QStringLiteral("False"));
    settings.write(Cfg::Device::EmailAktiv.at(3), QStringLiteral("0"));
    EmailSettings s(settings, devices);
    EXPECT_EQ(s.values().tanks, QList<bool>{false});
    devices.DeviceCount = 3; // registered after the values were loaded
    EXPECT_EQ(QList<bool>({s.tankSelected(1), s.tankSelected(2), s.tankSelected(3)}),
              QList<bool>({false, true, false}));

    const struct {
        const char *stored;
        int schwelle, abstand1, abstand2;
    } rows[] = {
        {"33", 30, 24, 24},    // nearer to 30 than 40; 33 lies nearest 24 of the hours too
        {"35", 30, 24, 24},    // a tie takes the earlier item
        {"720", 90, 744, 168}, // "monatlich" is 744 hours
        {"abc", 10, 744, 168}, // not a positive number counts as the default
    };
    for (const auto &row : rows) {
        for (const IniKey &key : {Cfg::Email::Schwelle2, Cfg::Email::Abstand1, Cfg::Email::Abstand2})
            settings.write(key, QString::fromLatin1(row.stored));
        s.unload();
        const EmailValues v = s.values();
        EXPECT_EQ(QList<int>({v.schwelle2, v.abstand1, v.abstand2}),
                  QList<int>({row.schwelle, row.abstand1, row.abstand2}))
            << row.stored;
    }
    // The alarm mode: 0, 1, 2, anything else the default 2.
    QList<int> modes;
    for (const char *stored : {"0", "1", "2", "7"}) {
        settings.write(Cfg::Email::Alarmmode, QString::fromLatin1(stored));
        s.unload();
        modes << s.values().alarmmode;
    }
    EXPECT_EQ(modes, QList<int>({0, 1, 2, 2}));
}

// What the file says for key in section (the raw bytes of its line).
QByteArray LineOf(const QByteArray &file, const QByteArray &section, const QByteArray &key)
{
    const qsizetype at = file.indexOf("\n" + key + "=", file.indexOf("[" + section + "]"));
    return at < 0 ? QByteArray("<absent>") : file.mid(at + 1, file.indexOf('\r', at) - at - 1);
}

// The stored forms of existing installations are read as before and written
// as before wherever they read back right; where they did not (a blank at an
// end, a line break from the 33rd character on, letters beyond Windows-1252)
// the new forms read back right, also in another instance.
TEST_F(EmailSettingsTest, PasswordsAreStoredAsBeforeWhereThatWorkedAndRoundTripEverywhere)
{
    const QString lf = QString(32, 'x') + '+' + QString(9, 'y'); // '+' at 33 gave LF
    const struct {
        QString plain;
        QByteArray line; // as stored; "~" = any Base64 form
    } rows[] = {
        {"geheim", "fgkalk"},
        {"€ä", "\x81\xe6"},
        {"", ""},
        {"!ab", "\" ca\""},   // a blank at the start: was read back as "bc"
        {"abc$", "\"``` \""}, // a blank at the end
        {"#ab\"", "\"ca&"},   // a quote at the start only
        {"#a!", "\"\"c\"\""}, // quotes at both ends: in quotes once more
        {lf, "~"},
        {"hasło", "~"},
        {QString(300, 'p'), "~"}, // longer than a read
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.plain.toStdString());
        EmailSettings s(settings, devices);
        EmailValues v = s.values();
        v.server.password = row.plain;
        s.save(v);
        s.setLockPassword(row.plain);
        const QByteArray file = readBytes(iniPath());
        const QByteArray stored = LineOf(file, "E-Mail", "Password");
        EXPECT_EQ(LineOf(file, "E-Mail", "Passwort"), "Passwort=" + stored.mid(9));
        if (row.line == "~")
            EXPECT_TRUE(stored.startsWith("Password=~") && stored.size() > 10) << stored.constData();
        else
            EXPECT_EQ(stored, "Password=" + row.line);
        copyToFreshFolder();
        EmailSettings fresh(settings, devices);
        EXPECT_EQ(QStringList({fresh.values().server.password, fresh.lockPassword()}),
                  QStringList({row.plain, row.plain}));
    }
}

// Every character at every position 1..254, each as the last one too: each
// length of each character, stored in one file and read by another instance.
TEST_F(EmailSettingsTest, EveryCharacterAtEveryPositionRoundTrips)
{
    // Every character a user may type in one of the ten languages, and some more.
    QStringList chars;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        chars << QString(QChar(c));
    for (int b = 0x80; b <= 0xFF; ++b) {
        const QString c = Cp1252::decode(QByteArray(1, char(b)));
        if (c.at(0).isPrint())
            chars << c;
    }
    for (const char32_t c : U"ąćęłńśźżĄĆĘŁŃŚŹŻčđšžČĐŠŽăîșțşţĂÎȘȚŞŢΩж中\U0001F6E2")
        if (c)
            chars << QString::fromUcs4(&c, 1);
    const auto at = [&](qsizetype i) { return chars.at(i % chars.size()); };
    {
        IniBatch batch(settings.store());
        for (qsizetype c = 0; c < chars.size(); ++c)
            for (int n = 1; n <= kIniMaxValueLength; ++n)
                settings.store().write(iniPath(), QString::number(c), QString::number(n),
                                       StoredPassword(at(c).repeated(n)));
    }
    copyToFreshFolder();
    QStringList wrong;
    for (qsizetype c = 0; c < chars.size(); ++c)
        for (int n = 1; n <= kIniMaxValueLength; ++n) {
            const auto stored = settings.store().read(iniPath(), QString::number(c), QString::number(n), -1);
            if (PasswordFromStored(stored.value_or("<absent>")) != at(c).repeated(n))
                wrong << at(c) + " x " + QString::number(n);
        }
    EXPECT_EQ(wrong.mid(0, 20), QStringList()) << wrong.size() << " wrong";
}

} // namespace
