// Writes a demo data folder: a settings file with three tanks listening on
// TCP for tankmon_demo_feeder, and a year of daily history for each tank
// ending now, so the chart and the consumption table have something real to
// show at once.
//
//   tankmon_demo_data FOLDER
//
// Only FOLDER is written. A folder that holds a settings file this tool did
// not write is refused, so a real installation cannot be overwritten by
// mistake.
#include "DemoTanks.h"

#include "history/TankFile.h"

#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "core/IniStore.h"
#include "core/Paths.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/DeviceRegistry.h"
#include "model/Figures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{
const char *kMarker = "DEMO-DATA.txt";
// Written into the marker: a folder without it was made before the feeder
// existed (simulation on) and is renewed by tools/run-demo.sh.
const char *kMarkerText = "Demo data written by tankmon_demo_data (fed by tankmon_demo_feeder); "
                          "run it again to renew them.\r\n";
constexpr int kLanguage = 2; // English
constexpr int kDays = 365;   // history from today - 365 days to today

struct Day {
    QDateTime time;
    qint32 raw;
    qint16 temp;
};

// One reading a day of the tank's model; returns the number of refuellings.
int simulate(const DemoTank &tank, double start, const std::vector<QDateTime> &times, std::vector<Day> *out)
{
    DemoModel model(tank.kind, start, quint64(tank.rec.SN));
    for (const QDateTime &t : times) {
        model.advance(t, 1.0);
        if (out)
            out->push_back({t, qint32(std::lround(model.level())), model.temperature()});
    }
    return model.refuellings();
}

bool fail(const QString &text)
{
    std::fprintf(stderr, "tankmon_demo_data: %s\n", qPrintable(text));
    return false;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
    return true;
}

bool makeDemo(const QString &folderArg)
{
    QString folder = Paths::WithSeparator(QDir(folderArg).absolutePath());
    if (Paths::EnsureFolder(folder))
        return fail(QStringLiteral("cannot create %1").arg(folder));
    const QString ini = folder + QStringLiteral("Tankmon.ini");
    if (QFileInfo::exists(ini) && !QFileInfo::exists(folder + QLatin1String(kMarker)))
        return fail(QStringLiteral("%1 holds a settings file that is not demo data; choose an empty folder")
                        .arg(folder));
    // Renewing: start from an empty settings file, so no key of the old demo stays.
    if (QFileInfo::exists(ini) && !QFile::remove(ini))
        return fail(QStringLiteral("cannot replace %1").arg(ini));
    RunConfig config;
    config.dataFolder = folder;
    RunSwitches switches(config);
    switches.setLogFolder(folder);
    Settings settings(switches);
    const Texts texts(kLanguage);

    // One reading a day, each at the time of day the demo is made, so the
    // last one is "now" and the display does not start out stale.
    const ClockFn clock = SystemClock();
    const QDateTime now = clock();
    std::vector<QDateTime> times;
    for (int d = kDays; d >= 0; --d)
        times.push_back(now.addDays(-d));

    std::vector<DemoTank> demo = DemoTanks();
    struct Tank {
        DeviceRecord rec;
        std::vector<Day> days;
        int refuellings = 0;
    } tanks[3];
    for (int i = 0; i < 3; ++i) {
        double start = demo[i].kind == DemoKind::HeatingOil ? 1500
                       : demo[i].kind == DemoKind::Diesel   ? 1900
                                                            : 640;
        // The oil year starts half empty and sees two deliveries.
        while (demo[i].kind == DemoKind::HeatingOil && start < 4800 &&
               simulate(demo[i], start, times, nullptr) != 2)
            start += 50;
        tanks[i].rec = demo[i].rec;
        tanks[i].refuellings = simulate(demo[i], start, times, &tanks[i].days);
    }

    for (int i = 0; i < 3; ++i) {
        Tank &tank = tanks[i];
        DeviceRecord &r = tank.rec;
        QByteArray file;
        for (const Day &d : tank.days) {
            r.Volumen = d.raw;
            r.Temperatur = d.temp;
            file += TankFile::Line(d.time, r, texts);
        }
        r.Uhrzeit = tank.days.back().time;
        const QString path = folder + QStringLiteral("Tank%1.csv").arg(i + 1);
        if (!writeFile(path, file))
            return false;
    }

    {
        Settings::Batch batch(settings);
        settings.write(Cfg::LngId, kLanguage);
        settings.write(Cfg::ActiveCom, 0);
        settings.write(Cfg::ActiveNet, 1);  // listening on the TCP port keeps the interface dialog away
        settings.write(Cfg::Simulation, 0); // tankmon_demo_feeder sends the telegrams
        settings.write(Cfg::ClientPort, 8000);
        settings.write(Cfg::FlagTempKorr, 0);
        // The feeder runs the tanks' time 600 times faster than the clock: the
        // loss alarm, judged on the clock, would take their normal use for a leak.
        settings.write(Cfg::Email::VerlustProzent, 0);
        settings.write(Cfg::LogfileAktiv, 1);
        settings.write(Cfg::LogfileIntervall, 86400);
        settings.write(Cfg::LogfileLast, FormatDateText(times.back()));
        settings.write(Cfg::LogIniAktiv, 1);
        settings.write(Cfg::LogIniIntervall, 60);
        // No "Path": the log folder is the data folder, so a copied demo
        // folder records into itself.
        settings.write(Cfg::LogIniLast, FormatDateText(now));
        settings.write(Cfg::GeraeteAnzahl, 3);
        settings.write(Cfg::GeraeteAktuell, 1);
        // The device sections exactly as the program's own registry writes them.
        DeviceRegistry registry(switches, settings, texts, clock);
        for (int n = 1; n <= 3; ++n) {
            DeviceRecord &r = registry.device(n);
            r = tanks[n - 1].rec;
            r.History.reset();
        }
        registry.table().DeviceCount = 3;
        registry.SaveDeviceRegistry();
        if (!batch.commit())
            return fail(QStringLiteral("cannot write %1").arg(ini));
    }
    if (!writeFile(folder + QLatin1String(kMarker), kMarkerText))
        return false;

    std::printf("demo data in %s: 3 tanks, %d days each (heating oil refilled %d times, diesel %d times)\n",
                qPrintable(folder), int(times.size()), tanks[0].refuellings, tanks[1].refuellings);
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: tankmon_demo_data FOLDER\n"
                             "Writes demo settings and a year of tank history into FOLDER (only there);\n"
                             "then run: Tankmon --data-dir FOLDER\n");
        return 2;
    }
    return makeDemo(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
