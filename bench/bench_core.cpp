// Settings store: cached read, single write and a batch of 800 writes on a
// settings file with 56 device sections, each against the naive way (re-read
// and rewrite the whole file per key), measured in the same run.
#include "core/IniStore.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{
const char *kKeys[] = {"SN",      "Gerätetyp", "Temperatur",  "Volumen",  "VolumenAnzeige", "Tankbezeichnung",
                       "Einheit", "Tanktyp",   "Tankvolumen", "Tankhöhe", "Uhrzeit",        "Dez-Punkt",
                       "Alarm",   "ClientIP"};

void fillFile(IniStore &store, const QString &path)
{
    IniBatch batch(store);
    for (const char *s : {"Common", "COM", "Logfile", "Log INI-File", "E-Mail"})
        for (int k = 0; k < 8; ++k)
            store.write(path, s, QStringLiteral("Key%1").arg(k), QStringLiteral("value"));
    for (int n = 1; n <= 56; ++n)
        for (const char *k : kKeys)
            store.write(path, QStringLiteral("Gerät%1").arg(n), QString::fromUtf8(k), QString::number(n * 7));
    store.write(path, "Geräte", "Anzahl", QStringLiteral("56"));
}

// The naive way: every access reads and parses the whole file; every write
// rewrites it in place.
QString naiveRead(const QString &path, const QString &s, const QString &k)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    IniFile ini;
    ini.parse(f.readAll());
    return ini.value(s, k).value_or(QString());
}

void naiveWrite(const QString &path, const QString &s, const QString &k, const QString &v)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    IniFile ini;
    ini.parse(f.readAll());
    f.close();
    ini.setValue(s, k, v);
    QFile o(path);
    o.open(QIODevice::WriteOnly | QIODevice::Truncate);
    o.write(ini.serialize());
}

double medianUs(int runs, int reps, const std::function<void(int)> &op)
{
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer e;
        e.start();
        for (int i = 0; i < reps; ++i)
            op(i);
        t.push_back(double(e.nsecsElapsed()) / 1000.0 / reps);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tankmon.ini");
    IniStore store;
    fillFile(store, path);
    std::printf("settings file: %lld bytes, 56 device sections\n", QFile(path).size());
    const int runs = 7;

    const double cached = medianUs(
        runs, 2000, [&](int i) { store.read(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), "Tankhöhe"); });
    const double naiveR = medianUs(
        runs, 200, [&](int i) { naiveRead(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), "Tankhöhe"); });
    std::printf("read:   cached %8.1f us   naive %8.1f us   ratio %.3f\n", cached, naiveR, cached / naiveR);

    const double single = medianUs(runs, 20, [&](int i) {
        store.write(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), "Volumen", QString::number(i));
    });
    const double naiveW = medianUs(runs, 20, [&](int i) {
        naiveWrite(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), "Volumen", QString::number(i));
    });
    std::printf("write:  atomic %8.1f us   naive %8.1f us   ratio %.3f\n", single, naiveW, single / naiveW);

    const double batch = medianUs(runs, 1, [&](int r) {
        IniBatch b(store);
        for (int i = 0; i < 800; ++i)
            store.write(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), QString::fromUtf8(kKeys[i % 14]),
                        QString::number(r * 1000 + i));
    });
    const double naive800 = medianUs(3, 1, [&](int r) {
        for (int i = 0; i < 800; ++i)
            naiveWrite(path, QStringLiteral("Gerät%1").arg(i % 56 + 1), QString::fromUtf8(kKeys[i % 14]),
                       QString::number(r * 1000 + i));
    });
    std::printf("800 writes: batch %8.1f us   naive %8.1f us   ratio %.4f\n", batch, naive800,
                batch / naive800);
    std::printf("batch of 800 / single write = %.2f (target < 3)\n", batch / single);
    return 0;
}
