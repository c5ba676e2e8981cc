#include "ui/UiTestSupport.h"

#include "core/Catalogue.h"
#include "core/TextHelpers.h"
#include "model/NotificationLog.h"
#include "model/ServiceStatus.h"
#include "model/TankStateWatch.h"
#include "mqtt/MqttPeers.h"
#include "mqtt/MqttSettings.h"
#include "ui/FrmMeldungen.h"
#include "ui/StatusIndicator.h"

namespace
{
// MQTT on, with a password the broker refuses.
void WriteRefusedLogin(Settings &settings, quint16 port)
{
    MqttValues v;
    v.aktiv = true;
    v.host = QStringLiteral("127.0.0.1");
    v.port = port;
    v.userName = QStringLiteral("tankmon");
    v.password = QStringLiteral("wrong");
    v.topic = QStringLiteral("tankmon/test");
    WriteMqttValues(settings, v);
}

// The list as a day with troubles leaves it: a tank that raises and ends an
// alarm, a fault, a silent tank, the link lost and back, a failed mail.
void FillNotifications(AppController &app, const QDateTime &now)
{
    TankController &tanks = app.tanks();
    const char *names[] = {"Heizöl Keller", "Diesel Hof", "AdBlue"};
    for (int n = 1; n <= 3; ++n) {
        DeviceRecord &r = tanks.device(n);
        r.SN = 4710 + n;
        r.Tankvolumen = 5000;
        r.Volumen = 3000;
        r.Uhrzeit = now;
        r.Tankbezeichnung = QString::fromUtf8(names[n - 1]);
        tanks.AddDevice(n);
    }
    app.states().updateAll();
    NotificationLog &log = app.notifications();
    const auto add = [&](NotificationLog::Kind kind, const QString &text) {
        NotificationLog::Event e;
        e.time = now;
        e.kind = kind;
        e.text = text;
        log.add(e);
    };
    add(NotificationLog::Kind::LinkLost, FormatText(LngText(260), {QStringLiteral("TCP")}));
    tanks.device(1).Alarm = true;
    tanks.refreshDevice(1);
    tanks.device(2).Volumen = -0xE008;
    tanks.refreshDevice(2);
    add(NotificationLog::Kind::LinkBack, LngText(814));
    tanks.device(1).Alarm = false;
    tanks.refreshDevice(1);
    tanks.device(3).Uhrzeit = now.addDays(-2);
    tanks.refreshDevice(3);
    add(NotificationLog::Kind::EmailFailed,
        LngText(121) + QStringLiteral("9999 No such IP or mail service is not available"));
}
} // namespace

// A broker that refuses the login: the indicator says so and keeps saying so
// while panel 1 moves on, and the list has the problem.
TEST_F(MainWindowTest, MqttIndicatorAfterARefusal)
{
    Broker broker;
    ASSERT_TRUE(broker.start(true, QStringLiteral("right")));
    WriteRefusedLogin(settings, broker.port);
    open();
    auto *mqtt = Part<StatusIndicator>(win.get(), "lblMqttIndicator");
    ASSERT_TRUE(WaitFor([&] { return mqtt->text() == QStringLiteral("MQTT: getrennt"); }, 15000))
        << qPrintable(mqtt->text());
    EXPECT_TRUE(mqtt->isVisible());
    EXPECT_TRUE(
        mqtt->toolTip().startsWith(FormatText(LngText(423), {"127.0.0.1:" + QString::number(broker.port)})))
        << qPrintable(mqtt->toolTip());
    app->ui().setPanelText(1, QStringLiteral("something else"));
    EXPECT_EQ(mqtt->text(), QStringLiteral("MQTT: getrennt"));
    const auto &events = app->notifications().events();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const NotificationLog::Event &e) {
        return e.kind == NotificationLog::Kind::MqttProblem;
    }));
}

// The count in the status bar follows what the list acknowledges, and the
// list keeps what a closed alarm box said.
TEST_F(MainWindowTest, NotificationsCountAndAcknowledge)
{
    open();
    ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
    auto *count = Part<StatusIndicator>(win.get(), "lblMeldungenIndicator");
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen"));

    // Tank 1 raises its alarm; the box is answered and gone.
    DeviceRecord &r = app->tanks().device(1);
    r.SN = 4711;
    r.Tankvolumen = 1000;
    r.Volumen = 500;
    r.Uhrzeit = now;
    r.Tankbezeichnung = QStringLiteral("Heizöl");
    app->tanks().AddDevice(1);
    r.Alarm = true;
    app->tanks().refreshDevice(1);
    NotificationLog::Event mail;
    mail.time = now;
    mail.kind = NotificationLog::Kind::EmailFailed;
    mail.text = QStringLiteral("no server");
    app->notifications().add(mail);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen: 2 neu"));

    QTest::mouseClick(count, Qt::LeftButton);
    ASSERT_EQ(Shown<frmMeldungen>().size(), 1);
    QTreeWidget *list = Shown<frmMeldungen>().first()->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(3), LngText(271) + "1 / SN4711"); // oldest last
    EXPECT_TRUE(list->topLevelItem(0)->font(3).bold());
    list->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(Part<QPushButton>(list->window(), "cmdQuittieren"), Qt::LeftButton);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen: 1 neu"));
    EXPECT_FALSE(list->topLevelItem(0)->font(3).bold());
    EXPECT_TRUE(list->topLevelItem(1)->font(3).bold());
    QTest::mouseClick(Part<QPushButton>(list->window(), "cmdAlleQuittieren"), Qt::LeftButton);
    EXPECT_EQ(count->text(), QStringLiteral("Meldungen"));
    EXPECT_EQ(list->topLevelItemCount(), 2); // acknowledged, not forgotten
    // Renamed (or renumbered) since: the entry names the tank as it was.
    r.Tankbezeichnung = QStringLiteral("Neu");
    app->tanks().refreshDevice(1);
    app->notifications().add(mail); // the list is drawn anew
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(2)->text(1), QStringLiteral("1 Heizöl"));
}

// A tank's own warning threshold, typed on its settings tab: either decimal
// mark is taken and the state follows at once; a refused entry says why,
// stays in the field and writes nothing; emptied, the common one applies.
TEST_F(MainWindowTest, OwnWarnThresholdOnTheSettingsTab)
{
    writeBytes(iniPath(), "[E-Mail]\r\nSchwelle 2=8\r\n");
    open();
    ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
    DeviceRecord &r = app->tanks().device(1);
    r.SN = 4711;
    r.Tankvolumen = 1000;
    r.Volumen = 110; // 11 %
    r.Uhrzeit = now;
    app->tanks().AddDevice(1);
    app->tanks().selectAndShow(1);
    auto *field = Part<QLineEdit>(win.get(), "txbxWarnschwelle");
    auto *why = Part<QLabel>(win.get(), "lblWarnschwelleFehler");
    const auto condition = [&] { return app->states().status(1).condition; };
    const auto stored = [&] { return settings.read(Cfg::Device::Warnschwelle.at(1)); };
    const auto type = [&](const QString &text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    };
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(field->placeholderText(), "8 (wie alle Tanks)");
    EXPECT_EQ(condition(), TankCondition::Ok);

    type("12,5");
    EXPECT_EQ(stored(), "12.5");
    EXPECT_EQ(condition(), TankCondition::Low);
    EXPECT_EQ(field->text(), "12,5");
    EXPECT_TRUE(why->isHidden());

    for (const char *refused : {"150", "0", "zwei", "-3"}) {
        type(refused);
        EXPECT_EQ(stored(), "12.5") << refused;
        EXPECT_EQ(field->text(), refused);
        EXPECT_FALSE(why->isHidden()) << refused;
        EXPECT_EQ(why->text(), LngText(882));
        // A telegram's refresh keeps what was typed.
        app->tanks().refreshDevice(1);
        EXPECT_EQ(field->text(), refused);
    }
    EXPECT_EQ(condition(), TankCondition::Low);

    type("25");
    EXPECT_EQ(stored(), "25");
    EXPECT_TRUE(why->isHidden());
    r.Volumen = 120; // 12 %: below half of 25
    app->tanks().refreshDevice(1);
    EXPECT_EQ(condition(), TankCondition::VeryLow);

    type("");
    EXPECT_EQ(stored(), "");
    EXPECT_EQ(condition(), TankCondition::Ok);
    close();
    EXPECT_FALSE(localFile().contains("Warnschwelle=25"));
}

// German, English and Polish at 800 x 600 and 1920 x 1080, with the link
// waiting, the broker refusing and notifications unread: every indicator
// lies inside the status bar and shows what fits of its text; a shortened
// one has all of it in its tool tip. Only the link's text is shortened,
// and the large screen shortens none.
// TANKMON_SHOT_DIR=folder keeps pictures of the window and the list.
TEST_F(MainWindowTest, StatusIndicatorsFitSmallAndLargeScreens)
{
    const QString shots = qEnvironmentVariable("TANKMON_SHOT_DIR");
    Broker broker;
    ASSERT_TRUE(broker.start(true, QStringLiteral("right")));
    const quint16 port = FreeTcpPort();
    for (int lng : {1, 2, 10}) {
        SCOPED_TRACE(lng);
        writeBytes(iniPath(), "[LngPtnr]\r\nLngId=" + QByteArray::number(lng) + "\r\n[COM]\r\nClientPort=" +
                                  QByteArray::number(port) + "\r\n[Common]\r\nActiveNet=1\r\n");
        WriteRefusedLogin(settings, broker.port);
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
        FillNotifications(*app, now);
        auto *mqtt = Part<StatusIndicator>(win.get(), "lblMqttIndicator");
        ASSERT_TRUE(WaitFor([&] { return app->services().mqtt() == ServiceStatus::Mqtt::Problem; }, 15000));
        QStatusBar *bar = win->statusBar();
        const QList<StatusIndicator *> indicators = bar->findChildren<StatusIndicator *>();
        ASSERT_EQ(indicators.size(), 3);
        for (QSize size : {QSize(800, 600), QSize(1920, 1080)}) {
            SCOPED_TRACE(size.width());
            win->resize(size);
            ASSERT_TRUE(WaitFor([&] { return win->size() == size && bar->width() == size.width(); }, 5000));
            for (StatusIndicator *i : indicators) {
                SCOPED_TRACE(i->objectName().toStdString());
                const QString full = i->fullText();
                ASSERT_FALSE(full.isEmpty());
                EXPECT_TRUE(i->isVisible());
                EXPECT_TRUE(bar->rect().contains(i->geometry()));
                EXPECT_LE(i->fontMetrics().horizontalAdvance(i->text()), i->contentsRect().width())
                    << qPrintable(i->text());
                if (i->text() != full) {
                    EXPECT_TRUE(i->text().endsWith(QChar(0x2026))) << qPrintable(i->text());
                    EXPECT_TRUE(i->toolTip().startsWith(full + '\n')) << qPrintable(i->toolTip());
                }
                if (size.width() == 1920 || i != Part<StatusIndicator>(bar, "lblLinkIndicator")) {
                    EXPECT_EQ(i->text(), full);
                }
            }
            EXPECT_EQ(mqtt->fullText(), lng == 1   ? "MQTT: getrennt"
                                        : lng == 2 ? "MQTT: not connected"
                                                   : "MQTT: brak połączenia");
            if (!shots.isEmpty())
                win->grab().save(
                    QStringLiteral("%1/statusbar_%2_%3.png").arg(shots).arg(lng).arg(size.width()));
        }
        // The list opened from the count: time, tank and kind are shown whole.
        QTest::mouseClick(Part<StatusIndicator>(win.get(), "lblMeldungenIndicator"), Qt::LeftButton);
        ASSERT_EQ(Shown<frmMeldungen>().size(), 1);
        frmMeldungen *list = Shown<frmMeldungen>().first();
        ASSERT_GE(list->list()->topLevelItemCount(), 8);
        for (int r = 0; r < list->list()->topLevelItemCount(); ++r) {
            const QTreeWidgetItem *item = list->list()->topLevelItem(r);
            for (int c = 0; c < 3; ++c)
                EXPECT_LT(QFontMetrics(item->font(c)).horizontalAdvance(item->text(c)),
                          list->list()->columnWidth(c))
                    << qPrintable(item->text(c));
        }
        if (!shots.isEmpty())
            list->grab().save(QStringLiteral("%1/meldungen_%2.png").arg(shots).arg(lng));
    }
}
