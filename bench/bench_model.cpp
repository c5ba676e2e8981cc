// Telegram evaluation throughput for known devices, and the cost of one
// registry save with 56 devices against rewriting the settings file per key.
// Each figure is the median of several runs, printed with its baseline from
// the same run.
#include "BenchSupport.h"
#include "core/Catalogue.h"
#include "core/IniStore.h"
#include "core/RunSwitches.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/Figures.h"
#include "model/TankController.h"
#include "model/Telegram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

// The per-key rewrite the batch replaces: every write reads, parses and
// atomically replaces the whole file.
void naiveWrite(const QString &path, const IniKey &key, const QString &value)
{
    QFile in(path);
    IniFile ini;
    if (in.open(QIODevice::ReadOnly))
        ini.parse(in.readAll());
    in.close();
    ini.setValue(key.sectionName(), key.keyName(), value);
    QSaveFile out(path);
    out.setDirectWriteFallback(false);
    const QByteArray bytes = ini.serialize();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        out.cancelWriting();
}

void naiveSave(const TankController &tanks, const QString &path)
{
    using namespace Cfg::Device;
    for (int n = 1; n <= tanks.DeviceCount(); ++n) {
        const DeviceRecord &r = tanks.device(n);
        naiveWrite(path, SN.at(n), QString::number(r.SN));
        naiveWrite(path, Geraetetyp.at(n), QString::number(r.Geraetetyp));
        naiveWrite(path, Temperatur.at(n), QString::number(r.Temperatur));
        naiveWrite(path, Volumen.at(n), QString::number(r.Volumen));
        naiveWrite(path, VolumenAnzeige.at(n), FormatValue(r.Volumen, r, Texts(1)));
        naiveWrite(path, Tankbezeichnung.at(n), r.Tankbezeichnung);
        naiveWrite(path, Einheit.at(n), QString::number(r.Einheit));
        naiveWrite(path, Tanktyp.at(n), QString::number(r.Tanktyp));
        naiveWrite(path, Tankvolumen.at(n), QString::number(r.Tankvolumen));
        naiveWrite(path, Tankhoehe.at(n), QString::number(r.Tankhoehe));
        naiveWrite(path, Uhrzeit.at(n), QStringLiteral("14.03.2026 10:30:00"));
        naiveWrite(path, DezPunkt.at(n), QString::number(r.DezPunkt));
        naiveWrite(path, Alarm.at(n), r.Alarm ? QStringLiteral("1") : QStringLiteral("0"));
        naiveWrite(path, ClientIP.at(n), r.ClientIP);
    }
    naiveWrite(path, Cfg::GeraeteAnzahl, QString::number(tanks.DeviceCount()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    SetLngId(1);
    RunConfig config;
    config.dataFolder = tmp.path() + QLatin1Char('/');
    RunSwitches switches(config);
    Settings settings(switches);
    QuietUi ui;
    const Texts texts(1);
    TankController tanks(switches, settings, ui, texts, SystemClock());
    long delivered = 0;
    QObject::connect(&tanks, &TankController::deviceChanged, [&](int) { ++delivered; });
    QObject::connect(&tanks, &TankController::detailChanged, [&](int) { ++delivered; });
    QObject::connect(&tanks, &TankController::telegramAccepted, [&] { ++delivered; });
    for (int n = 1; n <= kMaxDevices; ++n)
        tanks.EvalTelegramm(BenchTelegram(1000 + n, 100 * n, 140), QString());
    if (tanks.DeviceCount() != kMaxDevices) {
        std::printf("registration failed: %d devices\n", tanks.DeviceCount());
        return 1;
    }
    for (int n = 1; n <= kMaxDevices; ++n)
        tanks.device(n).Tankbezeichnung = QStringLiteral("Tank Süd %1").arg(n);

    // Known devices, changing levels and temperatures, as the links deliver them.
    std::vector<QByteArray> stream;
    for (int i = 0; i < 56 * 32; ++i)
        stream.push_back(BenchTelegram(1000 + 1 + i % 56, (i * 37) % 10000, 100 + i % 60));

    constexpr int kTelegrams = 200000;
    constexpr int kRuns = 7;
    std::vector<double> evalRate, decodeRate;
    long accepted = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kTelegrams; ++i)
            accepted += tanks.EvalTelegramm(stream[size_t(i) % stream.size()], QString());
        evalRate.push_back(kTelegrams / (double(t.nsecsElapsed()) / 1e9));

        // Baseline: the checks and decoding alone.
        long sink = 0;
        t.restart();
        for (int i = 0; i < kTelegrams; ++i) {
            const auto d = DecodeTelegram(stream[size_t(i) % stream.size()]);
            sink += d ? d->volumen : 0;
        }
        decodeRate.push_back(kTelegrams / (double(t.nsecsElapsed()) / 1e9));
        if (sink == 42)
            std::printf(" ");
    }
    if (accepted != long(kTelegrams) * kRuns) {
        std::printf("only %ld of %ld telegrams accepted\n", accepted, long(kTelegrams) * kRuns);
        return 1;
    }
    const double eval = Median(evalRate), decode = Median(decodeRate);
    std::printf("telegrams evaluated per second (56 known devices, whole sequence, headless): %.0f\n", eval);
    std::printf("  baseline decode only:           %.0f /s  (sequence costs %.1fx the decoding)\n", decode,
                decode / eval);
    std::printf("  against a serial line's 12.6 /s: %.0fx; target >= 20000 /s: %s\n", eval / 12.6,
                eval >= 20000 ? "met" : "MISSED");
    std::printf("  (signals delivered: %ld)\n", delivered);

    // One registry save against the per-key rewrite, on the same 56 devices.
    const QString path = config.SettingsLocalPath();
    std::vector<double> saveMs, naiveMs;
    for (int run = 0; run < 15; ++run) {
        tanks.device(1 + run % 56).Volumen = run;
        QElapsedTimer t;
        t.start();
        tanks.registry().SaveDeviceRegistry();
        saveMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const QString naivePath = tmp.path() + QStringLiteral("/naive.ini");
    QFile::copy(path, naivePath);
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        naiveSave(tanks, naivePath);
        naiveMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const bool same = [&] {
        QFile a(path), b(naivePath);
        return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.size() > 0 &&
               a.size() == b.size();
    }();
    const double save = Median(saveMs), naive = Median(naiveMs);
    std::printf("SaveDeviceRegistry, 56 devices, one atomic replace: %.2f ms (median of %zu)\n", save,
                saveMs.size());
    std::printf("  baseline per-key rewrite (%d replaces):           %.1f ms (median of %zu)\n", 56 * 14 + 1,
                naive, naiveMs.size());
    std::printf("  ratio: the batch is %.0fx faster; target < 10 ms: %s; files of equal size: %s\n",
                naive / save, save < 10 ? "met" : "MISSED", same ? "yes" : "no");
    return 0;
}
