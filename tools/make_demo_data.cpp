// Writes a demo data folder: a settings file with three tanks and simulation
// switched on, and a year of daily history for each tank ending today, so
// the chart and the consumption table have something real to show at once.
//
//   tankmon_demo_data FOLDER
//
// Only FOLDER is written. A folder that holds a settings file this tool did
// not write is refused, so a real installation cannot be overwritten by
// mistake.
#include "history/TankFile.h"

#include "core/Catalogue.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "core/IniStore.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/Figures.h"
#include "model/TankController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const char *kMarker = "DEMO-DATA.txt";
constexpr int kLanguage = 2; // English
constexpr int kDays = 365;   // history from today - 365 days to today

// Small deterministic generator: the demo looks the same every time.
struct Random {
    quint64 state;
    double next() // [0, 1)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double(state >> 11) / double(quint64(1) << 53);
    }
    double around(double centre, double spread) { return centre + (next() * 2 - 1) * spread; }
};

// Outdoor temperature of a day of the year: coldest in mid-January.
double outdoor(int dayOfYear, Random &r)
{
    return 9.5 - 10.5 * std::cos(2 * M_PI * (dayOfYear - 15) / 365.0) + r.around(0, 3);
}

struct Day {
    QDateTime time;
    qint32 raw;
    qint16 temp;
};

struct Tank {
    DeviceRecord rec;
    std::vector<Day> days;
    int refuellings = 0;
};

// Heating oil in the cellar: burnt by the heating when it is cold outside,
// a little for hot water all year; refilled when the level runs low.
int simulateOil(qint32 start, const std::vector<QDateTime> &times, std::vector<Day> *out)
{
    Random r{4711};
    double level = start;
    int refills = 0;
    for (const QDateTime &t : times) {
        const double outside = outdoor(t.date().dayOfYear(), r);
        const double burnt = std::max(0.0, 15 - outside) * 2.4 + 2.5;
        level -= burnt * r.around(1, 0.15);
        if (level < 900) {
            level = r.around(4750, 60);
            ++refills;
        }
        const qint16 cellar = qint16(std::lround(11 + 0.35 * (outside - 9.5)));
        if (out)
            out->push_back({t, qint32(std::lround(level)), cellar});
    }
    return refills;
}

// Diesel above ground: machines run more in the warm months.
int simulateDiesel(qint32 start, const std::vector<QDateTime> &times, std::vector<Day> *out)
{
    Random r{815};
    double litres = start;
    int refills = 0;
    for (const QDateTime &t : times) {
        const double outside = outdoor(t.date().dayOfYear(), r);
        const double used = (outside > 12 ? 8.0 : 3.0) * r.around(1, 0.5);
        litres -= used;
        if (litres < 400) {
            litres = r.around(2350, 40);
            ++refills;
        }
        if (out)
            out->push_back({t, qint32(std::lround(litres)), qint16(std::lround(outside + r.around(0, 1)))});
    }
    return refills;
}

// A rain-water cistern in per mille (shown as %, one decimal): used every
// day, most for the garden in summer, filled by rain, never below the pump's
// minimum. No temperature sensor.
void simulateWater(const std::vector<QDateTime> &times, std::vector<Day> *out)
{
    Random r{1299};
    double level = 640;
    for (const QDateTime &t : times) {
        const int month = t.date().month();
        const double rainChance = (month >= 3 && month <= 5) || (month >= 9 && month <= 11) ? 0.3 : 0.2;
        level -= r.around(month >= 5 && month <= 9 ? 11 : 4, 2); // the garden in summer
        if (r.next() < rainChance)
            level += 10 + 70 * r.next() * r.next();
        level = std::clamp(level, 80.0, 1000.0);
        out->push_back({t, qint32(std::lround(level)), kNoTemperature});
    }
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
    Paths::SetExeBaseName(QStringLiteral("Tankmon"));
    Paths::SetDataDirOverride(folder);
    State().logFolder = folder;
    SetLngId(kLanguage);

    // One recording a day, just after midnight, as the daily interval gives.
    const QDateTime now = Clock::Now();
    std::vector<QDateTime> times;
    for (int d = kDays; d >= 0; --d)
        times.push_back(Clock::Naive(now.date().addDays(-d), QTime(0, 0, 2 + (d * 7) % 50)));
    if (times.back() > now)
        times.back() = now;

    Tank tanks[3];
    // 1: heating oil, 5000 litres, horizontal cylinder.
    {
        DeviceRecord &r = tanks[0].rec;
        r.SN = 4711, r.Einheit = 0, r.DezPunkt = 0, r.Tankvolumen = 5000, r.Tankhoehe = 1600, r.Tanktyp = 2;
        r.Tankbezeichnung = QStringLiteral("Heating oil");
        qint32 start = 1500; // the year starts half empty
        while (start < 4800 && simulateOil(start, times, nullptr) != 2)
            start += 50;
        tanks[0].refuellings = simulateOil(start, times, &tanks[0].days);
    }
    // 2: diesel, 2.5 m³ (raw litres, scale code 1), linear.
    {
        DeviceRecord &r = tanks[1].rec;
        r.SN = 4712, r.Einheit = 1, r.DezPunkt = 1, r.Tankvolumen = 2500, r.Tankhoehe = 1200, r.Tanktyp = 1;
        r.Tankbezeichnung = QStringLiteral("Diesel");
        tanks[1].refuellings = simulateDiesel(1900, times, &tanks[1].days);
    }
    // 3: rain water, in % with one decimal (raw per mille, scale code 3), plastic tank.
    {
        DeviceRecord &r = tanks[2].rec;
        r.SN = 4713, r.Einheit = 3, r.DezPunkt = 3, r.Tankvolumen = 1000, r.Tankhoehe = 1900, r.Tanktyp = 7;
        r.Tankbezeichnung = QStringLiteral("Rain water");
        simulateWater(times, &tanks[2].days);
    }

    for (int i = 0; i < 3; ++i) {
        Tank &tank = tanks[i];
        DeviceRecord &r = tank.rec;
        // The simulation sends device type 9: the same records take its telegrams.
        r.Geraetetyp = 9;
        QByteArray file;
        for (const Day &d : tank.days) {
            r.Volumen = d.raw;
            r.Temperatur = d.temp;
            file += TankFile::Line(d.time, r);
        }
        r.Uhrzeit = tank.days.back().time;
        const QString path = folder + QStringLiteral("Tank%1.csv").arg(i + 1);
        if (!writeFile(path, file))
            return false;
    }

    {
        IniBatch batch;
        Cfg::LngId.write(kLanguage);
        Cfg::ActiveCom.write(0);
        Cfg::ActiveNet.write(1); // listening on the TCP port keeps the interface dialog away
        Cfg::Simulation.write(1);
        Cfg::ClientPort.write(8000);
        Cfg::FlagTempKorr.write(0);
        Cfg::LogfileAktiv.write(1);
        Cfg::LogfileIntervall.write(86400);
        Cfg::LogfileLast.write(FormatDateText(times.back()));
        Cfg::LogIniAktiv.write(1);
        Cfg::LogIniIntervall.write(60);
        Cfg::LogIniPath.write(folder);
        Cfg::LogIniLast.write(FormatDateText(now));
        Cfg::GeraeteAnzahl.write(3);
        Cfg::GeraeteAktuell.write(1);
        // The device sections exactly as the program's own registry writes them.
        TankController registry;
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
    if (!writeFile(folder + QLatin1String(kMarker),
                   "Demo data written by tankmon_demo_data; run it again to renew them.\r\n"))
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
