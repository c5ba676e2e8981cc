#include "WebChart.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>

WebChartRenderer::WebChartRenderer(QString program, QStringList arguments, QObject *parent)
    : QObject(parent), program_(std::move(program)), arguments_(std::move(arguments))
{
}

WebChartRenderer::~WebChartRenderer()
{
    // A child still drawing is not waited for.
    for (QProcess *p : findChildren<QProcess *>()) {
        p->disconnect(this);
        p->kill();
        p->waitForFinished(1000);
    }
}

bool WebChartRenderer::render(const Job &job, Done done)
{
    if (running_ >= kMaxRunning)
        return false;
    ++running_;
    auto *p = new QProcess(this);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->setStandardErrorFile(QProcess::nullDevice());
    p->setStandardInputFile(QProcess::nullDevice());
    auto *out = new QByteArray;
    auto *timer = new QTimer(p);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, p, [p] { p->kill(); });
    connect(p, &QProcess::readyReadStandardOutput, p, [p, out] {
        *out += p->readAllStandardOutput();
        if (out->size() > kMaxBytes)
            p->kill();
    });
    const auto finish = [this, p, out, done = std::move(done)](int status) {
        --running_;
        const QByteArray png = status == 200 ? *out : QByteArray();
        delete out;
        p->deleteLater();
        done(status, png);
    };
    connect(p, &QProcess::errorOccurred, this, [p, finish](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            finish(500);
    });
    connect(p, &QProcess::finished, this, [p, out, finish](int code, QProcess::ExitStatus how) {
        *out += p->readAllStandardOutput();
        if (how == QProcess::NormalExit && code == 0 && out->size() <= kMaxBytes &&
            out->startsWith("\x89PNG\r\n\x1a\n"))
            finish(200);
        else
            finish(how == QProcess::NormalExit && code == 2 ? 404 : 500);
    });
    const QSize size = job.size.expandedTo(kMinSize).boundedTo(kMaxSize);
    QStringList args = arguments_;
    args << QStringLiteral("--export-chart") << QString::number(job.tank) << QStringLiteral("--output")
         << QStringLiteral("-") << QStringLiteral("--size")
         << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    if (job.months > 0)
        args << QStringLiteral("--months") << QString::number(job.months);
    if (job.percent)
        args << QStringLiteral("--percent");
    timer->start(kTimeoutMs);
    p->start(program_, args);
    return true;
}
