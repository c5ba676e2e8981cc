// End-to-end start-up of the real program with 56 tanks of 500000 lines:
// from starting `Tankmon --headless --data-dir D` until a client connected
// to its TCP listener has received the greeting "TANKMON", minus the same
// for a data folder with the same settings and no tanks. Baseline: `wc -l`
// over the same 56 files, measured in the same run.
//
//   bench_startup [--runs <n>] [--dir <folder>] [--keep <folder>] [--cold] [--program <path>]
//
// Every run is a fresh process. Warm by default (the files stay in the page
// cache, for the program and for wc alike); --cold drops the page cache
// before every start and before every wc (root only). The tank files go into
// a temporary folder below --dir and are removed afterwards; --keep writes
// them once into the given folder and reuses them.
#include "BenchSupport.h"
#include "TankData.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#ifndef TANKMON_PROGRAM
#define TANKMON_PROGRAM "Tankmon"
#endif

namespace
{
using bench::median;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::exit(2);
}

// Settings with the TCP listener on `port` and `tanks` registered devices.
void writeSettings(const QString &dir, int port, int tanks)
{
    QByteArray ini =
        "[Common]\r\nActiveNet=1\r\nActiveCom=0\r\n[COM]\r\nClientPort=" + QByteArray::number(port) +
        "\r\n[Ger\xE4te]\r\nAnzahl=" + QByteArray::number(tanks) + "\r\n";
    for (int n = 1; n <= tanks; ++n)
        ini += "[Ger\xE4t" + QByteArray::number(n) + "]\r\nSN=" + QByteArray::number(1000 + n) +
               "\r\nGer\xE4tetyp=9\r\nVolumen=2000\r\nEinheit=0\r\nTankvolumen=5000\r\n";
    bench::writeFile(dir + QStringLiteral("Tankmon.ini"), ini);
}

void dropCaches()
{
    ::sync();
    QFile f(QStringLiteral("/proc/sys/vm/drop_caches"));
    if (!f.open(QIODevice::WriteOnly) || f.write("3\n") != 2 || !f.flush())
        fail("--cold needs root: cannot write /proc/sys/vm/drop_caches");
}

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// True once the greeting arrived on a fresh connection to port.
bool greeted(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = false;
    if (::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
        timeval tv{10, 0};
        ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        QByteArray got;
        char buf[64];
        ssize_t r;
        while (!got.contains("TANKMON") && (r = ::recv(s, buf, sizeof buf, 0)) > 0)
            got.append(buf, r);
        ok = got.contains("TANKMON");
    }
    ::close(s);
    return ok;
}

struct Start {
    double ms;  // until the greeting
    double cpu; // processor time until the greeting
};

// Processor time of a running process (all its threads, ended ones too).
double cpuOf(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // Fields after the command name in parentheses; utime and stime are 14 and 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Starts the program on dir, waits for the greeting, then ends it.
Start startOnce(const QByteArray &program, const QString &dir, int port)
{
    QByteArray d = QFile::encodeName(dir);
    QByteArray prog = program, headless = "--headless", dataDir = "--data-dir";
    char *argv[] = {prog.data(), headless.data(), dataDir.data(), d.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const double start = nowMs();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), &fa, nullptr, argv, environ) != 0)
        fail("cannot start the program");
    posix_spawn_file_actions_destroy(&fa);
    double took = -1, cpu = 0;
    while (nowMs() - start < 120000) {
        if (greeted(port)) {
            took = nowMs() - start;
            cpu = cpuOf(pid);
            break;
        }
        int status;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            fail("the program ended before it greeted");
        const timespec pause{0, 1000000}; // between connection attempts
        ::nanosleep(&pause, nullptr);
    }
    ::kill(pid, SIGTERM);
    int status;
    ::waitpid(pid, &status, 0);
    if (took < 0)
        fail("no greeting within 120 s");
    return {took, cpu};
}

void printRuns(const char *what, const std::vector<double> &v)
{
    std::printf("  %-10s", what);
    for (double x : v)
        std::printf(" %8.1f", x);
    std::printf("  ms\n");
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString base = QDir::tempPath(), keep;
    QByteArray program = TANKMON_PROGRAM;
    int runs = 7;
    bool cold = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            base = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--keep" && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--program" && i + 1 < argc)
            program = argv[++i];
        else if (a == "--cold")
            cold = true;
        else
            fail("usage: bench_startup [--runs N] [--dir FOLDER] [--keep FOLDER] [--cold] [--program PATH]");
    }
    QTemporaryDir tmp(base + QStringLiteral("/bench_startup-XXXXXX"));
    if (!tmp.isValid())
        fail("no temporary folder");
    const QString full = keep.isEmpty() ? tmp.path() + QStringLiteral("/full/") : keep + QStringLiteral("/");
    const QString empty = tmp.path() + QStringLiteral("/empty/");
    QDir().mkpath(full);
    QDir().mkpath(empty);
    const int port = BenchListenPort();
    std::printf("tank files: %d x %d lines in %s\n", bench::kTanks, bench::kLines, qPrintable(full));
    std::fflush(stdout);
    const QStringList files = bench::tankFiles(full, !keep.isEmpty());
    writeSettings(full, port, bench::kTanks);
    writeSettings(empty, port, 0);

    // One start of each to settle the program's libraries in memory.
    startOnce(program, full, port);
    startOnce(program, empty, port);
    bench::timeWc(files);

    std::vector<double> withTanks, without, wc, cpuWith, cpuWithout, cpuWc;
    for (int r = 0; r < runs; ++r) {
        if (cold)
            dropCaches();
        const Start a = startOnce(program, full, port);
        if (cold)
            dropCaches();
        const Start b = startOnce(program, empty, port);
        withTanks.push_back(a.ms);
        without.push_back(b.ms);
        cpuWith.push_back(a.cpu);
        cpuWithout.push_back(b.cpu);
        if (cold)
            dropCaches();
        double c = 0;
        wc.push_back(bench::timeWc(files, &c));
        cpuWc.push_back(c);
    }
    const double emptyMs = median(without), wcMs = median(wc);
    std::vector<double> net;
    for (double x : withTanks)
        net.push_back(x - emptyMs);
    const double med = median(net), slowest = *std::max_element(net.begin(), net.end());
    std::printf("%d fresh starts, %s page cache\n", runs, cold ? "cold (dropped before each)" : "warm");
    printRuns("56 tanks", withTanks);
    printRuns("no tanks", without);
    printRuns("wc -l", wc);
    std::printf("start-up with 56 x %d lines, minus an empty start (%.1f ms):\n", bench::kLines, emptyMs);
    std::printf("  median  %8.1f ms   wc -l %7.1f ms   ratio %5.2f (target <= 4)\n", med, wcMs, med / wcMs);
    std::printf("  slowest %8.1f ms   wc -l %7.1f ms   ratio %5.2f (target <= 5)\n", slowest, wcMs,
                slowest / wcMs);
    // Processor time depends less on how busy the machine is.
    const double cpu = median(cpuWith) - median(cpuWithout);
    std::printf(
        "processor time, medians: %.1f ms more than an empty start (%.1f ms); wc -l %.1f ms; ratio %.2f\n",
        cpu, median(cpuWithout), median(cpuWc), cpu / median(cpuWc));
    return 0;
}
