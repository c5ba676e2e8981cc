#include "RemoteHistory.h"

#include "history/TankFile.h"
#include "history/TankHistoryLoader.h"
#include "model/Figures.h"
#include "model/SiteTanks.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace
{
// Whether the file ends in line: the reading a site's broker retains comes
// again at every start of the centre.
bool endsIn(const QString &path, const QByteArray &line)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < line.size() || !f.seek(f.size() - line.size()))
        return false;
    return f.read(line.size()) == line;
}
} // namespace

RemoteHistory::RemoteHistory(const QString &root, int intervalSecs, const Texts &texts, QObject *parent)
    : QObject(parent), root_(root), intervalSecs_(intervalSecs), texts_(texts)
{
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &RemoteHistory::handOver);
    timer_.start();
    writer_ = std::thread(&RemoteHistory::write, this);
}

RemoteHistory::~RemoteHistory()
{
    handOver();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        endBy_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndMs);
    }
    wake_.notify_all();
    writer_.join();
}

QString RemoteHistory::SiteFolder(const QString &root, const QString &site)
{
    QString name = site;
    for (QChar &c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char(' ') && c != QLatin1Char('-') &&
            c != QLatin1Char('_') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('_'));
    return QDir(root).filePath(name);
}

void RemoteHistory::record(const TankSnapshotPtr &s)
{
    const QDateTime t = s->record.Uhrzeit;
    if (!t.isValid() || s->fault())
        return;
    QDateTime &last = last_[s->site + QLatin1Char('/') + QString::number(s->tank)];
    if (last.isValid() && (t <= last || last.secsTo(t) < intervalSecs_))
        return;
    last = t;
    pending_.push_back(
        {SiteFolder(root_, s->site) + QLatin1Char('/'), s->tank, TankFile::Line(t, s->record, texts_)});
}

void RemoteHistory::handOver()
{
    if (pending_.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto &p : pending_)
            queue_.push_back(std::move(p));
    }
    pending_.clear();
    wake_.notify_all();
}

qint64 RemoteHistory::written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

void RemoteHistory::write()
{
    QSet<QString> made;    // folders made (or found) already
    QSet<QString> checked; // files whose end was looked at in this run
    bool failing = false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty() || (ending_ && std::chrono::steady_clock::now() > endBy_))
            return;
        const Line line = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        if (!made.contains(line.folder)) {
            QDir().mkpath(line.folder);
            made.insert(line.folder);
        }
        const QString path = TankFile::PathIn(line.folder, line.tank);
        if (!checked.contains(path)) {
            checked.insert(path);
            if (endsIn(path, line.text)) {
                lock.lock();
                continue;
            }
        }
        QString error;
        TankFile::AppendResult r = TankFile::Append(path, line.text, &error);
        if (r == TankFile::AppendResult::OpenFailed &&
            QDir().mkpath(line.folder)) // the folder was taken away
            r = TankFile::Append(path, line.text, &error);
        const bool ok = r == TankFile::AppendResult::Written;
        if (!ok && !failing)
            emit writeFailed(QDir::toNativeSeparators(path) + QStringLiteral(": ") + error);
        failing = !ok;
        lock.lock();
        written_ += ok;
    }
}

std::shared_ptr<DeviceTable> RemoteHistory::LoadSite(const QString &root, const SiteTanks &sites, int site,
                                                     qint64 nowSecs, int onlyTank)
{
    auto table = std::make_shared<DeviceTable>();
    if (site < 0 || site >= sites.siteCount())
        return table;
    const QString folder = SiteFolder(root, sites.siteAt(site).name) + QLatin1Char('/');
    for (int n = 1; n <= kMaxDevices; ++n) {
        const TankSnapshotPtr s = sites.at(site, n);
        if (!s)
            continue;
        DeviceRecord &rec = (*table)[n];
        rec = s->record;
        if (!root.isEmpty() && (onlyTank == 0 || onlyTank == n))
            TankHistoryLoader::LoadFile(TankFile::PathIn(folder, n), nowSecs, rec.History);
        const QDateTime t = rec.Uhrzeit;
        if (t.isValid() && !s->fault() && TankHistory::toSecs(t) > rec.History.HistoryTimes.back())
            rec.History.append(t, ScaledLevel(rec.Volumen, rec), rec.Temperatur);
        table->DeviceCount = n;
    }
    return table;
}
