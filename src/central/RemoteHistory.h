#pragma once
#include "lang/Lng.h"
#include "model/DeviceRecord.h"
#include "model/TankSnapshot.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// The centre's record of every remote tank: one folder per site under the
// root, one tank file per tank in the tank-file format (TankFile), so the
// same code reads them as a local tank's. A tank's reading is recorded when
// it is new and at least the interval after the last one recorded; the lines
// go to the disk on a thread of their own, so a thousand sites never hold up
// the event loop.
class SiteTanks;

class RemoteHistory : public QObject
{
    Q_OBJECT
public:
    RemoteHistory(const QString &root, int intervalSecs, const Texts &texts, QObject *parent = nullptr);
    // Writes what is pending for at most kEndMs, then ends the writer: the
    // program's end is not held up by a thousand sites' lines (what is left
    // is recorded at the next start, from the states the broker retains).
    ~RemoteHistory() override;
    static constexpr int kEndMs = 1000;

    void record(const TankSnapshotPtr &s);
    // A site's folder under root: its name with every character that is no
    // letter, digit, blank, "-", "_" or "." as "_".
    static QString SiteFolder(const QString &root, const QString &site);
    // Lines written so far (the writer's count).
    qint64 written() const;

    // One site's tanks as a device table for the chart and consumption
    // views, read when asked: each tank's record as the site sent it last,
    // its history from the site's folder under root, and the reading the
    // site sent last when its line has not reached the file yet. With
    // onlyTank, only that tank's history is read.
    static std::shared_ptr<DeviceTable> LoadSite(const QString &root, const SiteTanks &sites, int site,
                                                 qint64 nowSecs, int onlyTank = 0);

signals:
    // A line could not be written: the file and why (from the writer's
    // thread). Told once, then again only after a line was written since.
    void writeFailed(const QString &text);

private:
    void handOver();
    void write();

    QString root_;
    int intervalSecs_;
    const Texts &texts_;
    QHash<QString, QDateTime> last_; // "site/n" -> the reading last recorded
    // A line for the tank file of the tank in a site's folder; the file's
    // name is looked up (and the folder made) by the writer, off the event loop.
    struct Line {
        QString folder;
        int tank;
        QByteArray text;
    };
    std::vector<Line> pending_;
    QTimer timer_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Line> queue_;
    bool ending_ = false;
    std::chrono::steady_clock::time_point endBy_;
    qint64 written_ = 0;
    std::thread writer_;
};
