// The e-mail settings object over a real settings file: the order and form
// of what save() writes, and the tanks that take part.
#include "support/TestSupport.h"

#include "core/Cp1252.h"
#include "email/EmailSettings.h"
#include "model/DeviceRecord.h"

namespace {

class EmailSettingsTest : public DataDirTest {
protected:
    DeviceTable devices;
};

TEST_F(EmailSettingsTest, FirstStartValuesSavedInDialogOrder)
{
    devices.DeviceCount = 2;
    EmailSettings s(settings, devices);
    EmailValues v = s.values(); // the first start's values
    v.aktiv = true;
    v.empfaenger[0] = QStringLiteral("a@example.org");
    v.schwelle2 = -1; // nothing selected in the list
    v.server.password = QStringLiteral("abc");
    v.server.login = false;
    v.tanks = {false, true};
    s.save(v);

    EXPECT_EQ(Cp1252::decode(readBytes(iniPath())).split("\r\n"),
              QString("[E-Mail]|Aktiv=1|Empfänger 1=a@example.org|Empfänger 2=|Schwelle 2=-1|"
                      "Abstand 1 in h=744|Abstand 2 in h=168|Melderaster=10|Kundenname=|Strasse=|Ort=|"
                      "Telefon=|Bemerkung=|SMTPServer=|SMTPPort=587|STARTTLS=1|Login=0|UserName=|"
                      "Password=```|AbsenderEmail=|Betreff=%13 %20 %10, %01, %04, %21 %15 %08|"
                      "StilleStunden=24|[Gerät1]|EmailAktiv=0|[Gerät2]|EmailAktiv=1|")
                  .split('|'));
}

TEST_F(EmailSettingsTest, StoredNumbersSelectTheNearestItem)
{
    const struct {
        const char *stored;
        int schwelle, abstand1, abstand2;
    } rows[] = {
        {"33", 30, 24, 24},    // nearer to 30 than 40; 33 lies nearest 24 of the hours too
        {"35", 30, 24, 24},    // a tie takes the earlier item
        {"720", 90, 744, 168}, // "monatlich" is 744 hours
        {"abc", 10, 744, 168}, // not a positive number counts as the default
        {"0", 10, 744, 168},
        {"-20", 10, 744, 168},
    };
    EmailSettings s(settings, devices);
    for (const auto &row : rows) {
        for (const IniKey &key : {Cfg::Email::Schwelle2, Cfg::Email::Abstand1, Cfg::Email::Abstand2})
            settings.write(key, QString::fromLatin1(row.stored));
        s.unload();
        const EmailValues v = s.values();
        EXPECT_EQ(QList<int>({v.schwelle2, v.abstand1, v.abstand2}),
                  QList<int>({row.schwelle, row.abstand1, row.abstand2})) << row.stored;
    }
    // The alarm mode: 0, 1, 2, anything else the default 2.
    QList<int> modes;
    for (const char *stored : {"0", "1", "2", "x", "7", "-1"}) {
        settings.write(Cfg::Email::Alarmmode, QString::fromLatin1(stored));
        s.unload();
        modes << s.values().alarmmode;
    }
    EXPECT_EQ(modes, QList<int>({0, 1, 2, 2, 2, 2}));
}

TEST_F(EmailSettingsTest, TankRegisteredLaterTakesPartByItsOwnKey)
{
    devices.DeviceCount = 1;
    settings.write(Cfg::Device::EmailAktiv.at(1), QStringLiteral("False"));
    settings.write(Cfg::Device::EmailAktiv.at(3), QStringLiteral("0"));
    EmailSettings s(settings, devices);
    EXPECT_EQ(s.values().tanks, QList<bool>{false});
    devices.DeviceCount = 3; // registered after the values were loaded
    EXPECT_EQ(QList<bool>({s.tankSelected(1), s.tankSelected(2), s.tankSelected(3)}),
              QList<bool>({false, true, false}));

}

} // namespace
