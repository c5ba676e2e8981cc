// Composition of the notification e-mail and the subject forms.
#include "support/TestSupport.h"

#include "email/MessageText.h"
#include "lang/Lng.h"

namespace
{

const QDateTime kNow = QDateTime(QDate(2026, 12, 5), QTime(15, 30, 0), Qt::UTC);

class MessageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeviceRecord &a = devices[1];
        a.SN = 4711, a.Einheit = 0, a.Volumen = 1234, a.Tankvolumen = 5000, a.Temperatur = 12;
        a.Tankbezeichnung = QStringLiteral("Heizöl Keller");
        a.Uhrzeit = QDateTime(QDate(2026, 12, 5), QTime(15, 9, 54), Qt::UTC);
        DeviceRecord &b = devices[2];
        b.SN = 815, b.Einheit = 1, b.DezPunkt = 1, b.Volumen = 2500, b.Tankvolumen = 6000;
        b.Temperatur = kNoTemperature, b.Tankbezeichnung = QStringLiteral("Zisterne");
        b.Uhrzeit = kNow.addSecs(-61 * 60); // too old for a percentage
        DeviceRecord &c = devices[3];
        c.SN = 12345, c.Einheit = 0, c.Volumen = -26, c.Tankvolumen = 1000, c.Uhrzeit = kNow;
        devices.DeviceCount = 3;
        ctx.versionLine = VersionLine(QStringLiteral("VALMOR Tankmon"), 3, 2, 0);
        ctx.customer = {QStringLiteral("Müller GmbH"), QString(), QStringLiteral("Hauptstr. 1"),
                        QStringLiteral("70000 Musterstadt"), QStringLiteral("Kunde 42  ")};
        ctx.locale = QLocale(QLocale::German, QLocale::Germany);
        ctx.now = kNow;
        ctx.texts = Texts(1);
    }

    DeviceTable devices;
    MessageContext ctx;
};

TEST_F(MessageTest, BodyHasTheFixedLayout)
{
    const QStringList lines = {
        "VALMOR Tankmon V3.02",
        "",
        "Kundenname:              Müller GmbH",
        "Strasse:                 Hauptstr. 1",
        "PLZ, Ort:                70000 Musterstadt",
        "Telefon:",
        "Bemerkung:               Kunde 42",
        "",
        "Heizöl Keller:           Füllstand niedrig",
        "Messzeitpunkt:           05.12.26 15:09:54",
        "",
        "    Tankinhalt    Volumen    Temp                      SN    Messzeitpunkt      ",
        QString(80, '-'),
        "1:    1234 L  25%    5000 L  12C  Heizöl Keller       4711  05.12.26 15:09:54",
        "2:    2.5 m³   ?%      6 m³       Zisterne             815  05.12.26 14:29:00",
        "",
        QString(80, '-'),
        "      3734 L  34%   11000 L",
        "",
        "VALMOR GmbH & Co.KG  www.valmor.example",
        "",
        "",
    };
    EXPECT_EQ(EmailBody(1, ReasonLevelLow, devices, {true, true, false}, ctx), lines.join("\r\n"));
}

// A field without a value takes one separator beside it along: empty
// customer fields leave no ", , " in the subject (nor in its preview).
TEST_F(MessageTest, SubjectSkipsEmptyFieldsWithTheirSeparators)
{
    const QString tmpl = QStringLiteral("%13 %20 %10, %01, %04, %21 %15 %08%06");
    const auto subject = [&] {
        return ExpandSubject(1, tmpl, SubjectToValues, devices, ctx.customer, ctx.locale, ctx.texts);
    };
    EXPECT_EQ(subject(), "25% von 5000 Liter, Müller GmbH, 70000 Musterstadt, Tank 1 Heizöl Keller");
    ctx.customer = {};
    EXPECT_EQ(subject(), "25% von 5000 Liter, Tank 1 Heizöl Keller");
    ctx.customer.ort = QStringLiteral("Ulm");
    EXPECT_EQ(
        ExpandSubject(1, "%21 %15: %01, %04", SubjectToValues, devices, ctx.customer, ctx.locale, ctx.texts),
        "Tank 1: Ulm");
}

TEST_F(MessageTest, SumLineOnlyForOneUnitOrLitresWithCubicMetres)
{
    struct Case {
        const char *name;
        QList<bool> selected;
        int unitOfTank3;
        const char *row;     // expected in the body ("" for none)
        const char *sumLine; // "" when there must be none
    };
    const QList<Case> cases = {
        {"error code listed in hex, no sum", {true, false, true}, 0, "3:        1A", ""},
        {"a third unit anywhere, no sum", {true, false, false}, 4, "", ""},
        {"only litres and cubic metres", {false, true, false}, 0, "", "      2500 L  42%    6000 L"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        devices[3].Einheit = c.unitOfTank3;
        devices[2].Uhrzeit = kNow;
        const QString body = EmailBody(1, ReasonCyclic, devices, c.selected, ctx);
        EXPECT_TRUE(body.contains(QLatin1String(c.row))) << body.toStdString();
        EXPECT_EQ(body.count(QString(80, '-')), *c.sumLine ? 2 : 1) << body.toStdString();
        EXPECT_TRUE(body.contains(QLatin1String(c.sumLine)));
    }
}

} // namespace
