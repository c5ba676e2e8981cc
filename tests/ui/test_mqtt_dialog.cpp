// The MQTT dialog's energy factors over the real controller, offscreen, with
// a real broker: what OK stores and publishes at once.
#include "mqtt/MqttPeers.h"
#include "ui/UiTestSupport.h"

#include "ui/FrmMqtt.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace
{
using MqttDialogTest = MainWindowTest;

TEST_F(MqttDialogTest, EnergyFactorPerTankWithItsUnitStoredAndPublishedAtOnce)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port);
    // Two tanks, litres and m³; the first one's factor stored before.
    writeBytes(iniPath(), "[Ger\xE4te]\r\nAnzahl=2\r\n"
                          "[Ger\xE4t1]\r\nSN=4711\r\nGer\xE4tetyp=9\r\nTankvolumen=5000\r\nEinheit=0\r\n"
                          "Tankbezeichnung=Heiz\xF6l\r\n"
                          "[Ger\xE4t2]\r\nSN=4712\r\nGer\xE4tetyp=9\r\nTankvolumen=50\r\nEinheit=1\r\n"
                          "[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nTopic=tankmon/kwh\r\nPort=" +
                              QByteArray::number(broker.port) + "\r\nkWhProEinheit1=10\r\n");
    open();
    app->activate();
    action("mnuMqtt")->trigger();
    const QList<frmMqtt *> dialogs = Shown<frmMqtt>();
    ASSERT_EQ(dialogs.size(), 1);
    frmMqtt *d = dialogs.first();
    EXPECT_TRUE(d->GroupEnergie->isVisible());
    ASSERT_EQ(d->ComboKWhTank->count(), 2);
    // Each tank with its name (or number), its stored factor and its unit.
    const auto shown = [d](int i) {
        d->ComboKWhTank->setCurrentIndex(i);
        return QStringLiteral("%1: %2 %3")
            .arg(d->ComboKWhTank->currentText())
            .arg(d->spinKWh->value())
            .arg(d->lblKWhEinheit->text());
    };
    EXPECT_EQ(shown(0), QStringLiteral("Heizöl: 10 kWh je L"));
    EXPECT_EQ(shown(1), QStringLiteral("Tank 2: 0 kWh je m³"));

    d->spinKWh->setValue(9.5);
    d->ComboKWhTank->setCurrentIndex(0);
    d->spinKWh->setValue(0);
    d->CmdOk->click();
    EXPECT_FALSE(d->isVisible());
    const QString file = localFile();
    EXPECT_FALSE(file.contains("kWhProEinheit1")) << qPrintable(file);
    EXPECT_TRUE(file.contains("kWhProEinheit2=9.5")) << qPrintable(file);

    // Publishing started afresh with the new factors: tank 2 has an energy sensor.
    EXPECT_TRUE(sub.waitFor("homeassistant/sensor/tankmon_4712/energy/config", [](const QByteArray &p) {
        return QJsonDocument::fromJson(p).object().value("device_class") == "energy";
    }));
}
} // namespace
