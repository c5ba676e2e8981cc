// What the tank-file benchmarks share: realistic tank files, `wc -l` as the
// baseline over the same files, and the median.
#pragma once
#include "core/Clock.h"
#include "core/DateText.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace bench
{
constexpr int kLines = 500000;
constexpr int kTanks = 56;

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs a program (searched on PATH) with its output discarded and waits for
// it; milliseconds, or -1 when it could not run or did not end with status 0.
// cpuMs: the processor time it took.
inline double timeCommand(std::vector<QByteArray> args, double *cpuMs = nullptr)
{
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    int status = 0;
    rusage u{};
    const bool ran = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0 &&
                     wait4(pid, &status, 0, &u) == pid;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    posix_spawn_file_actions_destroy(&fa);
    if (cpuMs)
        *cpuMs = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
                 double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
    return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// Runs `wc -l files...` with its output discarded; milliseconds. cpuMs:
// the processor time it took.
inline double timeWc(const QStringList &files, double *cpuMs = nullptr)
{
    std::vector<QByteArray> args{QByteArrayLiteral("wc"), QByteArrayLiteral("-l")};
    for (const QString &f : files)
        args.push_back(QFile::encodeName(f));
    const double ms = timeCommand(args, cpuMs);
    if (ms < 0) {
        std::fprintf(stderr, "cannot run wc\n");
        std::exit(2);
    }
    return ms;
}

// A tank file of `lines` valid lines, one an hour, ending now: a falling
// level with refills, temperatures following the seasons.
inline QByteArray tankFile(int lines, int seed)
{
    QByteArray out;
    out.reserve(qsizetype(lines) * 36);
    const QDateTime now = SystemClock()();
    QDateTime t = now.addSecs(-qint64(lines) * 3600);
    int level = 4000 + seed * 10;
    for (int i = 0; i < lines; ++i) {
        t = t.addSecs(3600);
        level -= 1 + (i + seed) % 3;
        if (level < 300)
            level = 4900;
        const int temp = 8 + ((i / 24) % 365) / 30 - ((i + seed) % 7);
        out += FormatDateText(t).toLatin1();
        out += ',';
        out += QByteArray::number(level);
        out += ",Liter,";
        out += QByteArray::number(temp);
        out += "\r\n";
    }
    return out;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

// Tank1.csv .. Tank<kTanks>.csv in dir (ending in "/"); existing ones are
// kept when `reuse`.
inline QStringList tankFiles(const QString &dir, bool reuse)
{
    QStringList files;
    for (int n = 1; n <= kTanks; ++n) {
        files << dir + QStringLiteral("Tank%1.csv").arg(n);
        if (!reuse || !QFile::exists(files.last()))
            writeFile(files.last(), tankFile(kLines, n));
    }
    return files;
}
} // namespace bench
