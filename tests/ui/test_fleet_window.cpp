#include "consumption/LossWatch.h"
#include "ui/UiTestSupport.h"

#include "core/Catalogue.h"
#include "core/DateText.h"
#include "core/TextHelpers.h"
#include "history/TankFile.h"
#include "model/ConditionLook.h"
#include "model/FleetModel.h"
#include "model/NotificationLog.h"
#include "model/ServiceStatus.h"
#include "model/SiteTanks.h"
#include "model/TankStateWatch.h"
#include "mqtt/MqttPeers.h"
#include "ui/FleetView.h"
#include "ui/FrmGrafikHistorie.h"
#include "ui/FrmMeldungen.h"
#include "ui/FrmTabelle.h"
#include "ui/StatusIndicator.h"

// German, English and Polish at 800 x 600 and 1920 x 1080, with the link
// waiting, the broker refusing and notifications unread: every indicator
// lies inside the status bar and shows what fits of its text; a shortened
// one has all of it in its tool tip. Only the link's text is shortened,
// and the large screen shortens none. The MQTT indicator keeps saying so
// while panel 1 moves on; the count follows what the list acknowledges.
// A tank's own warning threshold, typed on its settings tab: the state follows
// at once; a refused entry says why, stays in the field and writes nothing;
// emptied, the common one applies (which entries are taken: TankStates).
TEST_F(MainWindowTest, StatusIndicatorsFitSmallAndLargeScreensCountAcknowledgeAndOwnThreshold)
{
    Broker broker;
    ASSERT_TRUE(broker.start(true, QStringLiteral("right")));
    const quint16 port = FreeTcpPort();
    for (int lng : {1, 2, 10}) {
        SCOPED_TRACE(lng);
        // The broker refuses the password; the list as a day with troubles
        // leaves it: a tank that raises and ends an alarm, a fault, a silent
        // tank, the link lost and back, a failed mail.
        QByteArray ini = "[LngPtnr]\r\nLngId=" + QByteArray::number(lng) +
                         "\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
                         "\r\n[Common]\r\nActiveNet=1\r\n[E-Mail]\r\nSchwelle 2=8" +
                         "\r\n[MQTT]\r\nAktiv=1\r\nHost=127.0.0.1\r\nUserName=tankmon\r\nPassword=wrong\r\n" +
                         "Topic=tankmon/test\r\nPort=" + QByteArray::number(broker.port) +
                         "\r\n[Ger\xE4te]\r\nAnzahl=3\r\n";
        for (const char *name :
             {"1]\r\nSN=4711\r\nTankbezeichnung=Heiz\xF6l Keller",
              "2]\r\nSN=4712\r\nTankbezeichnung=Diesel Hof", "3]\r\nSN=4713\r\nTankbezeichnung=AdBlue"})
            ini += QByteArray("[Ger\xE4t") + name +
                   "\r\nTankvolumen=5000\r\nVolumen=3000\r\nUhrzeit=" + FormatDateText(now).toLatin1() +
                   "\r\n";
        writeBytes(iniPath(), ini);
        open();
        ASSERT_TRUE(WaitFor([&] { return app->firstActivateDone(); }, 10000));
        TankController &tanks = parts->tanks();
        using Kind = NotificationLog::Kind;
        NotificationLog &log = parts->notifications();
        const auto change = [&](int n, auto how) {
            how(tanks.device(n));
            tanks.refreshDevice(n);
        };
        log.add(
            {.time = now, .kind = Kind::LinkLost, .text = FormatText(LngText(260), {QStringLiteral("TCP")})});
        change(1, [](DeviceRecord &r) { r.Alarm = true; });
        change(2, [](DeviceRecord &r) { r.Volumen = -0xE008; });
        log.add({.time = now, .kind = Kind::LinkBack, .text = LngText(814)});
        change(1, [](DeviceRecord &r) { r.Alarm = false; });
        change(3, [&](DeviceRecord &r) { r.Uhrzeit = now.addDays(-2); });
        // Each tank's state reads the same on its card and in the fleet list
        // (sign and words), and the list shows the worst first.
        FleetView *fleet = win->fleetView();
        QStringList listed, carded;
        for (int r = 0; r < 3; ++r) {
            const QModelIndex state = fleet->table()->model()->index(r, FleetModel::State);
            const int n = state.data(FleetModel::DeviceRole).toInt();
            listed << state.data().toString();
            auto *entry = win->findChild<QWidget *>(QStringLiteral("FrameTank%1").arg(n));
            const QLabel *badge = Part<QLabel>(entry, "lblZustand");
            carded << (badge->isHidden() ? state.data().toString() : badge->text());
        }
        EXPECT_EQ(carded, listed);
        EXPECT_TRUE(listed[0].startsWith(LookOf(TankCondition::Silent).sign + ' '))
            << qPrintable(listed.join('|'));
        EXPECT_TRUE(listed[1].startsWith(LookOf(TankCondition::Fault).sign + ' '))
            << qPrintable(listed.join('|'));
        log.add({.time = now,
                 .kind = Kind::EmailFailed,
                 .text = LngText(121) + "9999 No such IP or mail service"});
        auto *mqtt = Part<StatusIndicator>(win.get(), "lblMqttIndicator");
        ASSERT_TRUE(WaitFor([&] { return parts->services().mqtt() == ServiceStatus::Mqtt::Problem; }, 15000));
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
        if (lng != 1)
            continue;
        // The MQTT indicator names the broker and keeps its word while panel 1
        // moves on; the list has the problem, and what the alarm box said.
        parts->ui().setPanelText(1, QStringLiteral("something else"));
        EXPECT_EQ(mqtt->text(), QStringLiteral("MQTT: getrennt"));
        EXPECT_TRUE(mqtt->toolTip().startsWith(
            FormatText(LngText(423), {"127.0.0.1:" + QString::number(broker.port)})))
            << qPrintable(mqtt->toolTip());
        QTreeWidget *items = list->list();
        const int n = items->topLevelItemCount();
        EXPECT_TRUE(std::any_of(log.events().begin(), log.events().end(),
                                [](const auto &e) { return e.kind == Kind::MqttProblem; }));
        // The count follows what the list acknowledges; acknowledged is not forgotten.
        auto *count = Part<StatusIndicator>(win.get(), "lblMeldungenIndicator");
        EXPECT_EQ(count->text(), QStringLiteral("Meldungen: %1 neu").arg(n));
        items->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(Part<QPushButton>(list, "cmdQuittieren"), Qt::LeftButton);
        EXPECT_EQ(count->text(), QStringLiteral("Meldungen: %1 neu").arg(n - 1));
        EXPECT_TRUE(!items->topLevelItem(0)->font(3).bold() && items->topLevelItem(1)->font(3).bold());
        QTest::mouseClick(Part<QPushButton>(list, "cmdAlleQuittieren"), Qt::LeftButton);
        EXPECT_EQ(count->text(), QStringLiteral("Meldungen"));
        EXPECT_EQ(items->topLevelItemCount(), n);
        // Renamed (or renumbered) since: an old entry names the tank as it was.
        parts->tanks().device(1).Tankbezeichnung = QStringLiteral("Neu");
        parts->tanks().refreshDevice(1);
        log.add({.time = now, .kind = Kind::Message, .text = QStringLiteral("redraw")});
        const auto alarm = items->findItems(LngText(271) + "1 / SN4711", Qt::MatchExactly, 3);
        ASSERT_FALSE(alarm.isEmpty());
        EXPECT_EQ(alarm.first()->text(1), QStringLiteral("1 Heizöl Keller"));

        tanks.selectAndShow(1); // 60 % full
        auto *field = Part<QLineEdit>(win.get(), "txbxWarnschwelle");
        auto *why = Part<QLabel>(win.get(), "lblWarnschwelleFehler");
        // What was typed, what is stored, the state, and the reason when refused.
        const auto type = [&](const QString &text) {
            field->setFocus();
            field->selectAll();
            QTest::keyClick(field, Qt::Key_Delete);
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
            tanks.refreshDevice(1); // a telegram's refresh keeps what was typed
            return QStringLiteral("%1|%2|%3|%4")
                .arg(field->text(), settings.read(Cfg::Device::Warnschwelle.at(1)))
                .arg(int(parts->states().status(1).condition))
                .arg(why->isHidden() ? QString() : why->text());
        };
        EXPECT_EQ(field->placeholderText(), "8 (wie alle Tanks)");
        const QString ok = QString::number(int(TankCondition::Ok)),
                      low = QString::number(int(TankCondition::Low));
        EXPECT_EQ(type("62,5"), "62,5|62.5|" + low + "|");
        EXPECT_EQ(type("zwei"), "zwei|62.5|" + low + "|" + LngText(882));
        EXPECT_EQ(type(""), "||" + ok + "|");

        // The tank's own loss limits: stored as the loss alarm reads them, or
        // refused with the reason and nothing stored.
        auto *lossWhy = Part<QLabel>(win.get(), "lblVerlustFehler");
        const auto typeLoss = [&](const char *name, const QString &text) {
            auto *f = Part<QLineEdit>(win.get(), name);
            f->setFocus();
            f->selectAll();
            QTest::keyClick(f, Qt::Key_Delete);
            QTest::keyClicks(f, text);
            QTest::keyClick(f, Qt::Key_Return);
            const TankLossSettings own = tanks.registry().lossSettings(1);
            return QStringLiteral("%1|%2|%3|%4")
                .arg(own.prozent, own.stunden, own.ruhezeit,
                     lossWhy->isHidden() ? QString() : lossWhy->text());
        };
        EXPECT_EQ(typeLoss("txbxVerlustProzent", "2,5"), "2.5|||");
        EXPECT_EQ(typeLoss("txbxVerlustRuhezeit", "20:00-6:00 we"), "2.5||20:00-06:00 WE|");
        EXPECT_EQ(typeLoss("txbxVerlustStunden", "2,5"), "2.5||20:00-06:00 WE|" + LngText(1145));
        EXPECT_EQ(typeLoss("txbxVerlustStunden", "0"), "2.5|0|20:00-06:00 WE|");
        EXPECT_FALSE(parts->losses().limits(1).on()) << "the alarm reads them at once";
    }
}

// A central installation's remote tank, double-clicked in the list, opens
// its chart: the history recorded in its site's folder and the reading the
// site sent last, under the site's name; the choice of tank stays the own
// chart's. Its context menu opens the site's consumption table.
TEST_F(MainWindowTest, ARemoteTankOpensItsSitesHistoryInTheChart)
{
    Broker broker;
    ASSERT_TRUE(broker.start());
    ASSERT_EQ(
        QProcess::execute("mosquitto_pub",
                          {"-p", QString::number(broker.port), "-r", "-t", "farm/east/tank1/state", "-m",
                           R"({"level":1200,"unit":"L","capacity":3000,"name":"Heizöl","temperature":9,)"
                           R"("time":"2026-03-14T10:00:00","state":"ok","error":null,"alarm":false})"}),
        0);
    DeviceRecord rec;
    rec.Temperatur = 9; // in litres, as the site sends
    QByteArray lines;
    for (const auto &[days, level] : {std::pair(4, 1500), std::pair(2, 1300)}) {
        rec.Volumen = level;
        lines += TankFile::Line(now.addDays(-days), rec, texts);
    }
    QDir().mkpath(dataDir() + "Zentrale/east");
    writeBytes(dataDir() + "Zentrale/east/Tank1.csv", lines);
    writeBytes(iniPath(), "[Zentrale]\r\nAktiv=1\r\nHost=127.0.0.1\r\nFilter=farm/+\r\nPort=" +
                              QByteArray::number(broker.port) + "\r\n");
    settings.write(Cfg::GrafikTank, 0);
    open();
    ASSERT_TRUE(WaitFor([&] { return parts->sites().rows().size() == 1; }, 10000));
    QTableView *list = win->fleetView()->table();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible() && list->model()->rowCount() == 1; }));
    // Without devices of its own, no link is missing: the indicator does not warn.
    EXPECT_TRUE(Part<StatusIndicator>(win.get(), "lblLinkIndicator")->styleSheet().isEmpty());
    const QModelIndex row = list->model()->index(0, FleetModel::Name);
    // A double-click is a press, a release, the double-click and its release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    const QList<frmGrafikHistorie *> charts = Shown<frmGrafikHistorie>();
    ASSERT_EQ(charts.size(), 1) << qPrintable(ui.texts().join('|'));
    EXPECT_TRUE(charts[0]->windowTitle().endsWith("east")) << qPrintable(charts[0]->windowTitle());
    ASSERT_EQ(charts[0]->picture().series.size(), 1u);
    EXPECT_EQ(charts[0]->picture().series[0].values, (std::vector<double>{1500, 1300, 1200}));
    EXPECT_EQ(settings.readInt(Cfg::GrafikTank), 0);

    // The row's context menu opens the site's consumption table as well.
    const QPoint at = list->visualRect(row).center();
    QTimer::singleShot(0, [] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            menu->actions().at(1)->trigger();
            menu->close();
        }
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &click);
    const QList<frmTabelle *> tables = Shown<frmTabelle>();
    ASSERT_EQ(tables.size(), 1) << qPrintable(ui.texts().join('|'));
    EXPECT_TRUE(tables[0]->windowTitle().endsWith("east")) << qPrintable(tables[0]->windowTitle());
}
