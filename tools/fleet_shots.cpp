// Renders the main window with 56 tanks as a user sees it, for looking at it
// under a virtual screen (xvfb-run -s "-screen 0 1920x1080x24") in any
// language:
//
//   tankmon_fleet_shots LNGID list|cards|notes|table|email|log OUT.png [TAB]
//
// The data folder (temporary) holds 56 tanks with three weeks of history
// each, using up their content at different rates; tank 7 reports fault
// E008, tank 12 an alarm, tanks 20 and 33 are low (33 very low), tank 26 is
// empty, tank 40 has been silent for 30 hours, tank 45 lost 40 % within the
// last hours. MQTT is switched on towards a port where no broker listens.
// "list" shows the fleet list as it opens (worst first),
// "cards" the overview tabs, "notes" the notifications list, "table" the
// consumption table of all tanks (in litres, m³ and percent, in turn), "email"
// the e-mail dialog and "log" the log dialog refusing "/proc/forbidden/".
#include "app/AppController.h"
#include "app/Program.h"
#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "history/TankFile.h"
#include "lang/Lng.h"
#include "lang/QtTranslation.h"
#include "model/DeviceRegistry.h"
#include "model/Figures.h"
#include "ui/FleetView.h"
#include "ui/FrmMain.h"
#include "ui/FrmMeldungen.h"
#include "ui/QtUi.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace
{
const char *const kNames[] = {
    "Heizöl Keller",    "Diesel Hof",     "AdBlue",      "Heizöl Halle",     "Regenwasser",
    "Diesel Werkstatt", "Heizöl Schule",  "Hydrauliköl", "Heizöl Turnhalle", "Diesel Bagger",
    "Löschwasser",      "Heizöl Rathaus", "Altöl",       "Diesel Notstrom"};

void writeData(const QString &folder, int lng, const QDateTime &now, bool units)
{
    RunConfig config;
    config.dataFolder = folder;
    RunSwitches switches(config);
    switches.setLogFolder(folder);
    Settings settings(switches);
    Settings::Batch batch(settings);
    settings.write(Cfg::LngId, lng);
    settings.write(Cfg::ActiveNet, 1);
    settings.write(Cfg::ClientPort, 40000 + int(QCoreApplication::applicationPid() % 20000));
    settings.write(Cfg::Mqtt::Aktiv, 1);
    settings.write(Cfg::Mqtt::Host, QStringLiteral("127.0.0.1"));
    settings.write(Cfg::Mqtt::Port, 1); // nobody listens there
    settings.write(Cfg::Mqtt::Topic, QStringLiteral("tankmon/shots"));
    settings.write(Cfg::GeraeteAnzahl, 56);
    settings.write(Cfg::GeraeteAktuell, 7);
    settings.write(Cfg::LogfileLast, FormatDateText(now));
    settings.write(Cfg::LogIniLast, FormatDateText(now));
    const Texts texts(lng);
    DeviceRegistry registry(switches, settings, texts, [now] { return now; });
    for (int n = 1; n <= 56; ++n) {
        DeviceRecord &r = registry.device(n);
        r.SN = 4700 + n;
        r.Geraetetyp = 7;
        r.Einheit = units ? (n % 3 == 2 ? 1 : n % 3 == 0 ? 3 : 0) : 0; // litres (m³, %)
        r.DezPunkt = 0;
        r.Tankvolumen = 5000 + (n % 5) * 1000;
        r.Tankhoehe = 1500;
        r.Temperatur = qint16(8 + n % 9);
        r.Tankbezeichnung = QString::fromUtf8(kNames[(n - 1) % 14]) + QStringLiteral(" %1").arg(n);
        // Use per day, and the content now: the forecasts spread out.
        const double use = 15 + (n * 37) % 90;
        double level = r.Tankvolumen * (0.25 + 0.013 * ((n * 17) % 55));
        if (n == 20)
            level = r.Tankvolumen * 0.08;
        if (n == 33)
            level = r.Tankvolumen * 0.035;
        if (n == 26)
            level = 0; // run dry
        // Tank 45 lost 40 % within the last hours: a leak.
        const double lost = n == 45 ? r.Tankvolumen * 0.4 : 0;
        QByteArray file;
        for (int h = 21 * 24; h >= 0; h -= 6) {
            const QDateTime t = now.addSecs(-qint64(h) * 3600 - n * 40);
            r.Volumen = qint32(level + use * h / 24.0 + (h > 0 ? lost : 0));
            file += TankFile::Line(t, r, texts);
        }
        r.Volumen = qint32(level);
        r.Uhrzeit = now.addSecs(-n * 40);
        if (n == 7)
            r.Volumen = -0xE008;
        if (n == 12)
            r.Alarm = true;
        if (n == 40)
            r.Uhrzeit = now.addSecs(-30 * 3600);
        QFile f(folder + QStringLiteral("Tank%1.csv").arg(n));
        if (f.open(QIODevice::WriteOnly))
            f.write(file);
    }
    registry.table().DeviceCount = 56;
    registry.SaveDeviceRegistry();
    batch.commit();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: tankmon_fleet_shots LNGID list|cards|notes|table|email|log OUT.png [TAB]\n");
        return 2;
    }
    const int lng = QString::fromLatin1(argv[1]).toInt();
    const QString kind = QString::fromLatin1(argv[2]);
    const QString out = QString::fromLocal8Bit(argv[3]);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QDateTime now = SystemClock()();
    writeData(folder, lng, now, kind == QLatin1String("table"));

    RunConfig config;
    config.dataFolder = folder;
    QtUi ui([] { return QStringLiteral("Tankmon"); });
    Program program(config, ui, SystemClock());
    program.settings.write(Cfg::Flottenansicht, kind == QLatin1String("cards") ? 0 : 1);
    AppController &app = program.app;
    if (app.start() != AppController::Start::Run)
        return 1;
    InstallQtTranslation(application, LngId());
    frmMain window(program.windowParts, program.menu, app);
    // No window manager under xvfb: the whole screen by hand.
    window.setGeometry(window.screen()->availableGeometry());
    window.show();
    int status = 1;
    QTimer::singleShot(2500, [&] {
        // Boxes the start raised (the alarm) are closed: the list keeps what they said.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != &window && w->inherits("QMessageBox"))
                w->close();
        QWidget *shot = &window;
        // The cards of an overview tab (2: tanks 5-8 with the fault and an alarm).
        if (kind == QLatin1String("cards"))
            window.findChild<QTabWidget *>(QStringLiteral("SSTab1"))
                ->setCurrentIndex(argc == 5 ? QString::fromLatin1(argv[4]).toInt() : 2);
        if (kind == QLatin1String("notes"))
            shot = window.openNotifications();
        const auto opened = [&](const char *action, const char *name) -> QWidget * {
            window.findChild<QAction *>(QLatin1String(action))->trigger();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String(name) && w->isVisible())
                    return w;
            return &window;
        };
        if (kind == QLatin1String("email"))
            shot = opened("mnuEmail", "frmEmail");
        if (kind == QLatin1String("log")) {
            shot = opened("mnuLog", "frmLog");
            shot->findChild<QLineEdit *>()->setText(QStringLiteral("/proc/forbidden/"));
            for (QPushButton *b : shot->findChildren<QPushButton *>())
                if (b->isDefault())
                    b->click();
        }
        if (kind == QLatin1String("table")) {
            window.findChild<QAbstractButton *>(QStringLiteral("cmdTabelle"))->click();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("frmTabelle") && w->isVisible())
                    shot = w;
            // All tanks: a table and bars for each unit.
            if (auto *combo = shot->findChild<QComboBox *>(QStringLiteral("ComboTank"))) {
                combo->setCurrentIndex(combo->count() - 1);
                emit combo->activated(combo->currentIndex());
            }
        }
        QTimer::singleShot(600, [&, shot] {
            status = shot->grab().save(out) ? 0 : 1;
            std::printf("%s: %dx%d\n", qPrintable(out), shot->width(), shot->height());
            app.requestQuit(0, false);
            application.quit();
        });
    });
    application.exec();
    return status;
}
