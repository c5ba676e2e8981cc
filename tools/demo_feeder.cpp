// Feeds the demo: connects to the demo's TCP listener as a device gateway
// does (connect, wait for the greeting, one line of hex digits per tank,
// close) and sends each demo tank's telegram every few seconds, continuing
// the tank's own history from the level last stored in the settings file.
// Time runs faster than the clock (--speed), so the levels visibly move.
//
//   tankmon_demo_feeder [--port N] [--interval S] [--speed X] [--until-pid PID] FOLDER
#include "DemoTanks.h"

#include "core/IniStore.h"
#include "model/Telegram.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace
{
const QByteArray kGreeting = "TANKMON\n";

struct FedTank {
    DemoTank tank;
    DemoModel model;
};

struct FeederOptions {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 8000;
    int intervalMs = 3000;
    double speed = 600; // tank seconds per real second
    qint64 untilPid = 0;
};

class Feeder : public QObject
{
public:
    Feeder(std::vector<FedTank> tanks, const FeederOptions &options)
        : tanks_(std::move(tanks)), options_(options), modelTime_(QDateTime::currentDateTime())
    {
        connect(&rounds_, &QTimer::timeout, this, &Feeder::round);
        connect(&watch_, &QTimer::timeout, this, &Feeder::checkWatchedProcess);
        connect(&socket_, &QTcpSocket::readyRead, this, &Feeder::onReadyRead);
        connect(&socket_, &QTcpSocket::errorOccurred, this, &Feeder::onError);
    }

    void start()
    {
        std::printf("[feeder] %d tanks to %s:%u every %.1f s\n", int(tanks_.size()),
                    qPrintable(options_.host), unsigned(options_.port), options_.intervalMs / 1000.0);
        std::fflush(stdout);
        if (options_.untilPid > 0)
            watch_.start(250);
        rounds_.start(options_.intervalMs);
        round();
    }

private:
    // Moves every tank on and sends their telegrams over a fresh connection.
    void round()
    {
        const double seconds = options_.intervalMs / 1000.0 * options_.speed;
        modelTime_ = modelTime_.addMSecs(qint64(seconds * 1000));
        payload_.clear();
        for (FedTank &f : tanks_) {
            f.model.advance(modelTime_, seconds / 86400);
            DecodedTelegram d;
            d.geraetetyp = f.tank.rec.Geraetetyp;
            d.sn = f.tank.rec.SN;
            d.temperatur = f.model.temperature();
            d.status = StatusFromEinheit(f.tank.rec.Einheit);
            d.volumen = qBound(0, int(std::lround(f.model.level())), f.tank.rec.Tankvolumen);
            d.dezPunkt = f.tank.rec.DezPunkt;
            d.tanktyp = f.tank.rec.Tanktyp;
            d.tankvolumen = f.tank.rec.Tankvolumen;
            d.tankhoehe = f.tank.rec.Tankhoehe;
            payload_ += EncodeTelegram(d).toHex().toUpper() + '\n';
        }
        // A connection still open from the last round is cut (the listener
        // takes one peer at a time and drops slow ones anyway).
        socket_.abort();
        received_.clear();
        socket_.connectToHost(options_.host, options_.port);
    }

    void onReadyRead()
    {
        received_ += socket_.readAll();
        if (!received_.contains(kGreeting))
            return;
        received_.clear();
        socket_.write(payload_);
        socket_.disconnectFromHost(); // after the lines are written
        if (!connectedOnce_) {
            connectedOnce_ = true;
            std::printf("[feeder] connected, sending\n");
            std::fflush(stdout);
        }
    }

    void onError(QAbstractSocket::SocketError error)
    {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return;
        if (!reportedWaiting_) {
            reportedWaiting_ = true;
            std::printf("[feeder] waiting for the listener: %s\n", qPrintable(socket_.errorString()));
            std::fflush(stdout);
        }
    }

    // Ended: gone, or a zombie its parent has not collected yet.
    bool watchedProcessEnded() const
    {
        if (::kill(pid_t(options_.untilPid), 0) != 0)
            return errno == ESRCH;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(options_.untilPid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = stat.readAll();
        const qsizetype afterName = text.lastIndexOf(')');
        return afterName > 0 && text.mid(afterName + 2, 1) == "Z";
    }

    void checkWatchedProcess()
    {
        if (watchedProcessEnded()) {
            std::printf("[feeder] program ended, stopping\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    }

    std::vector<FedTank> tanks_;
    FeederOptions options_;
    QDateTime modelTime_;
    QTimer rounds_, watch_;
    QTcpSocket socket_;
    QByteArray payload_, received_;
    bool connectedOnce_ = false, reportedWaiting_ = false;
};

// The demo tanks, each starting from the level the folder's settings file
// holds for its serial number (where the program left it), and the port the
// demo listens on.
std::vector<FedTank> loadTanks(const QString &folder, quint16 *port)
{
    QFile f(folder + QStringLiteral("/Tankmon.ini"));
    IniFile ini;
    if (f.open(QIODevice::ReadOnly))
        ini.parse(f.readAll());
    auto value = [&](const QString &section, const char *key) {
        return ini.value(section, QString::fromUtf8(key)).value_or(QString());
    };
    const int configured = value(QStringLiteral("Com"), "ClientPort").toInt();
    if (configured >= 1 && configured <= 65535)
        *port = quint16(configured);
    const int count = value(QString::fromUtf8("Geräte"), "Anzahl").toInt();
    const quint64 seed = quint64(QDateTime::currentMSecsSinceEpoch());
    std::vector<FedTank> out;
    for (const DemoTank &t : DemoTanks()) {
        double level = t.rec.Tankvolumen / 2.0;
        for (int n = 1; n <= count; ++n) {
            const QString section = QString::fromUtf8("Gerät%1").arg(n);
            bool ok = false;
            const int stored = value(section, "Volumen").toInt(&ok);
            if (value(section, "SN").toInt() == t.rec.SN && ok && stored >= 0)
                level = stored;
        }
        out.push_back({t, DemoModel(t.kind, level, seed + quint64(t.rec.SN))});
        // The demo starts while it rains, so the cistern is seen filling first.
        if (t.kind == DemoKind::RainWater)
            out.back().model.startShower(25);
    }
    return out;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the demo tanks' telegrams to the Tankmon started on FOLDER, as a device gateway."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("TCP port (default: the folder's ClientPort)."),
                                  QStringLiteral("N"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Seconds between rounds (default 3)."),
                                      QStringLiteral("S"), QStringLiteral("3"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Tank seconds per real second (default 600)."),
                                   QStringLiteral("X"), QStringLiteral("600"));
    const QCommandLineOption untilPid(QStringLiteral("until-pid"),
                                      QStringLiteral("End when process PID has ended."),
                                      QStringLiteral("PID"));
    parser.addOptions({port, interval, speed, untilPid});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The demo data folder."));
    parser.process(app);

    auto usageError = [](const QString &text) {
        std::fprintf(stderr, "tankmon_demo_feeder: %s\n", qPrintable(text));
        return 2;
    };
    if (parser.positionalArguments().size() != 1)
        return usageError(QStringLiteral("one FOLDER expected (see --help)"));
    FeederOptions options;
    std::vector<FedTank> tanks = loadTanks(parser.positionalArguments().constFirst(), &options.port);
    bool ok = true;
    if (parser.isSet(port)) {
        const uint p = parser.value(port).toUInt(&ok);
        if (!ok || p < 1 || p > 65535)
            return usageError(QStringLiteral("bad --port: %1").arg(parser.value(port)));
        options.port = quint16(p);
    }
    const double seconds = parser.value(interval).toDouble(&ok);
    if (!ok || seconds < 0.05 || seconds > 3600)
        return usageError(QStringLiteral("bad --interval: %1").arg(parser.value(interval)));
    options.intervalMs = int(seconds * 1000);
    options.speed = parser.value(speed).toDouble(&ok);
    if (!ok || options.speed <= 0)
        return usageError(QStringLiteral("bad --speed: %1").arg(parser.value(speed)));
    if (parser.isSet(untilPid)) {
        options.untilPid = parser.value(untilPid).toLongLong(&ok);
        if (!ok || options.untilPid <= 0)
            return usageError(QStringLiteral("bad --until-pid: %1").arg(parser.value(untilPid)));
    }
    Feeder feeder(std::move(tanks), options);
    feeder.start();
    return QCoreApplication::exec();
}
