#include "TankHistoryLoader.h"

#include "TankFile.h"

#include "core/Clock.h"
#include "core/Paths.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it harmlessly
#endif

namespace {
constexpr qsizetype kBlock = qsizetype(256) << 10;
constexpr qsizetype kCheckBytes = 64; // compared at the start and before the resume point
constexpr size_t kMaxCells = size_t(TankHistory::kMaxEntries) + 1;
constexpr qsizetype kSample = 64 * 1024;
constexpr qint64 kSplitBytes = qint64(4) << 20; // files worth a second thread

qint64 nowSecs() { return Clock::Now().toSecsSinceEpoch(); }

QString requestedPath(int n)
{
    return TankFile::ReadFolder() + QStringLiteral("Tank") + QString::number(n) + QStringLiteral(".csv");
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

qint64 mtimeNs(const struct stat &st) { return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }

QByteArray readAt(int fd, qint64 offset, qsizetype len)
{
    QByteArray b(len, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < len) {
        const ssize_t r = ::pread(fd, b.data() + got, size_t(len - got), offset + got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += r;
    }
    b.truncate(got);
    return b;
}

void reserveAll(TankHistory &h, size_t cells)
{
    h.HistoryTimes.reserve(cells);
    h.HistoryValues.reserve(cells);
    h.HistoryTemps.reserve(cells);
}

// Room for the expected lines plus a little, so the next few client refreshes
// append without moving the arrays; never beyond the cap.
size_t withHeadroom(size_t cells) { return std::min(kMaxCells, cells + std::max<size_t>(cells / 32, 256)); }

void makeRoom(TankHistory &h, qint64 moreLines)
{
    const size_t size = h.HistoryTimes.size();
    const size_t need = std::min(kMaxCells, size + size_t(std::max<qint64>(moreLines, 0)));
    if (need > h.HistoryTimes.capacity())
        reserveAll(h, withHeadroom(need));
}

// Maps the pages of elements [from, to) in one go, as huge pages where whole
// ones fit: touching fresh memory page by page costs as much as parsing the
// file.
template <typename T> void populate(std::vector<T> &v, size_t from, size_t to)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE)), huge = uintptr_t(2) << 20;
    const uintptr_t first = uintptr_t(v.data() + std::max(from, v.size()));
    const uintptr_t last = uintptr_t(v.data() + std::min(to, v.capacity()));
    const uintptr_t a = (first + page - 1) & ~(page - 1), b = last & ~(page - 1);
    if (b <= a)
        return;
    const uintptr_t ha = (first + huge - 1) & ~(huge - 1), hb = last & ~(huge - 1);
    if (hb > ha)
        ::madvise(reinterpret_cast<void *>(ha), hb - ha, MADV_HUGEPAGE);
    ::madvise(reinterpret_cast<void *>(a), b - a, MADV_POPULATE_WRITE);
}
void populateAll(TankHistory &h, size_t from, size_t to)
{
    populate(h.HistoryTimes, from, to);
    populate(h.HistoryValues, from, to);
    populate(h.HistoryTemps, from, to);
}

// Gives the pages behind the last element back (mapped for a line count
// that thinning or a poor estimate did not reach); the room stays reserved.
template <typename T> void trimTail(std::vector<T> &v)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t a = (uintptr_t(v.data() + v.size()) + page - 1) & ~(page - 1);
    const uintptr_t b = uintptr_t(v.data() + v.capacity()) & ~(page - 1);
    if (b > a)
        ::madvise(reinterpret_cast<void *>(a), b - a, MADV_DONTNEED);
}

// After a full load: give back a reservation that thinning or a poor estimate
// left far too large (the arrays are the bulk of the program's memory).
template <typename T> void shrinkTo(std::vector<T> &v, size_t cells)
{
    std::vector<T> w;
    w.reserve(cells);
    w.assign(v.begin(), v.end());
    v.swap(w);
}
void settle(TankHistory &h)
{
    const size_t size = h.HistoryTimes.size();
    const size_t room = size >= kMaxCells ? size : withHeadroom(size);
    if (h.HistoryTimes.capacity() > room + room / 16) {
        shrinkTo(h.HistoryTimes, room);
        shrinkTo(h.HistoryValues, room);
        shrinkTo(h.HistoryTemps, room);
    } else {
        trimTail(h.HistoryTimes);
        trimTail(h.HistoryValues);
        trimTail(h.HistoryTemps);
    }
}

struct ReadResult {
    qint64 consumed; // end of the last complete line
    qint64 end;      // end of what was read
};

// Feeds [from, to) of the file to the parser in large blocks; a line cut by
// a block boundary is carried into the next block.
ReadResult readLines(int fd, qint64 from, qint64 to, TankFileParser &parser)
{
    qsizetype cap = qsizetype(std::clamp<qint64>(to - from, 4096, kBlock));
    std::unique_ptr<char[]> buf(new char[size_t(cap)]);
    qint64 pos = from, consumed = from;
    qsizetype carry = 0;
    while (pos < to) {
        const qsizetype want = qsizetype(std::min<qint64>(cap - carry, to - pos));
        const ssize_t r = ::pread(fd, buf.get() + carry, size_t(want), pos);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        pos += r;
        const qsizetype avail = carry + r;
        const qsizetype used = parser.feed(buf.get(), avail);
        consumed += used;
        carry = avail - used;
        if (carry && used)
            std::memmove(buf.get(), buf.get() + used, size_t(carry));
        if (carry == cap) { // one line longer than the block
            std::unique_ptr<char[]> bigger(new char[size_t(cap) * 2]);
            std::memcpy(bigger.get(), buf.get(), size_t(carry));
            buf.swap(bigger);
            cap *= 2;
        }
    }
    return {consumed, pos};
}

// Tank-file lines are all about the same length: the start of the file
// tells how many entries to expect.
double sampleBytesPerLine(int fd, qint64 size)
{
    const QByteArray b = readAt(fd, 0, qsizetype(std::min<qint64>(kSample, size)));
    const qsizetype lines = b.count('\n');
    return lines > 0 ? double(b.size()) / double(lines) : 36.0;
}

// The start of the first line after pos, or -1.
qint64 lineStartAfter(int fd, qint64 pos)
{
    const QByteArray b = readAt(fd, pos, kSample);
    const qsizetype i = b.indexOf('\n');
    return i < 0 ? -1 : pos + i + 1;
}
} // namespace

struct TankHistoryLoader::FileState {
    QString requested;   // folder + "Tank" + n + ".csv" as asked for
    QByteArray native;   // the file actually read (letter case resolved)
    bool exists = false;
    quint64 dev = 0, ino = 0;
    qint64 size = 0, mtime = 0;
    qint64 consumed = 0; // bytes of complete lines taken
    QByteArray head, tail;
    double bytesPerLine = 36;
    TankFileParser::State parser;
    // The history this state belongs to, to notice a history changed by
    // someone else (reset, recording).
    size_t cells = 0;
    const void *data = nullptr;
    qint64 lastTime = 0;
    double lastValue = 0;
    qint32 lastTemp = 0;

    void remember(const TankHistory &h)
    {
        cells = h.HistoryTimes.size();
        data = h.HistoryTimes.data();
        lastTime = h.HistoryTimes.back();
        lastValue = h.HistoryValues.back();
        lastTemp = h.HistoryTemps.back();
    }
    bool describes(const TankHistory &h) const
    {
        return h.HistoryTimes.size() == cells && h.HistoryValues.size() == cells &&
               h.HistoryTemps.size() == cells && h.HistoryTimes.data() == data &&
               h.HistoryTimes.back() == lastTime && h.HistoryValues.back() == lastValue &&
               h.HistoryTemps.back() == lastTemp;
    }
    // A full load now would judge every line read so far the same way.
    bool clockAgrees(qint64 now) const
    {
        const qint64 limit = now + 86400;
        return parser.latestAccepted <= limit && parser.earliestRefused > limit;
    }
    void captureTail(int fd)
    {
        const qint64 from = std::max<qint64>(0, consumed - kCheckBytes);
        tail = readAt(fd, from, qsizetype(consumed - from));
    }
};

namespace {
using FileState = TankHistoryLoader::FileState;

// The whole file into h; touches nothing shared, so workers can run it.
// With a second thread a big file is read in two parts at once.
void loadWhole(const QString &requested, const QString &resolved, qint64 now, TankHistory &h,
               FileState &s, bool secondThread)
{
    h = TankHistory(); // gives back the arrays of an earlier load
    s = FileState{};
    s.requested = requested;
    s.native = QFile::encodeName(resolved);
    Fd f;
    f.fd = ::open(s.native.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        s.remember(h);
        return;
    }
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.mtime = mtimeNs(st);
    ::posix_fadvise(f.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const qint64 fileSize = st.st_size;
    s.bytesPerLine = sampleBytesPerLine(f.fd, fileSize);
    const double expected = double(fileSize) / s.bytesPerLine;
    makeRoom(h, qint64(expected * 1.02) + 16);
    const size_t mapped = size_t(std::min(expected, double(kMaxCells)));
    TankFileParser parser(h, s.parser, now);
    // This thread takes a little less, as it also folds the other part's records.
    const qint64 split =
        secondThread && fileSize >= kSplitBytes ? lineStartAfter(f.fd, fileSize * 9 / 20) : -1;
    ReadResult r{0, 0};
    bool done = false;
    if (split > 0) {
        // The second part becomes records on another thread while this one
        // folds the first part; the records are then folded in order, which
        // gives what one pass gives.
        std::vector<TankFileParser::Record> records;
        ReadResult second{split, split};
        const double bytesPerLine = s.bytesPerLine;
        std::thread other;
        try {
            // Touches nothing of this thread's but the file.
            other = std::thread([&records, &second, fd = f.fd, split, fileSize, bytesPerLine, now] {
                const size_t expectRecords = size_t(double(fileSize - split) / bytesPerLine * 1.02) + 16;
                records.reserve(expectRecords);
                populate(records, 0, expectRecords);
                TankFileParser p2(records, now);
                second = readLines(fd, split, fileSize, p2);
            });
        } catch (const std::system_error &) {
            // No thread to be had: one pass below.
        }
        if (other.joinable()) {
            populateAll(h, 0, mapped);
            const ReadResult first = readLines(f.fd, 0, split, parser);
            other.join();
            if (first.consumed == split) {
                parser.replay(records);
                r = second;
            } else { // the file changed while it was read: the rest in one pass
                r = readLines(f.fd, first.consumed, fileSize, parser);
            }
            done = true;
        }
    }
    if (!done) {
        populateAll(h, 0, mapped);
        r = readLines(f.fd, 0, fileSize, parser);
    }
    s.consumed = r.consumed;
    s.size = r.end;
    s.head = readAt(f.fd, 0, qsizetype(std::min<qint64>(kCheckBytes, s.size)));
    s.captureTail(f.fd);
    settle(h);
    s.remember(h);
}

void swapHistories(TankHistory &a, TankHistory &b)
{
    a.HistoryTimes.swap(b.HistoryTimes);
    a.HistoryValues.swap(b.HistoryValues);
    a.HistoryTemps.swap(b.HistoryTemps);
}
} // namespace

struct TankHistoryLoader::Preload {
    struct Cell {
        QString requested, resolved;
        TankHistory h;
        FileState s;
        bool done = false;
        bool taken = false;
    };
    std::vector<Cell> cells; // [0] unused
    qint64 now = 0;
    std::atomic<int> next{1};
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::thread> threads;

    void work()
    {
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= int(cells.size()))
                return;
            Cell &cell = cells[size_t(i)];
            loadWhole(cell.requested, cell.resolved, now, cell.h, cell.s, false);
            {
                std::lock_guard<std::mutex> lock(m);
                cell.done = true;
            }
            cv.notify_all();
        }
    }
    ~Preload()
    {
        for (std::thread &t : threads)
            t.join();
    }
};

TankHistoryLoader::TankHistoryLoader() = default;
TankHistoryLoader::~TankHistoryLoader() { FinishPreload(); }

void TankHistoryLoader::Load(int n, TankHistory &h)
{
    if (n < 1 || n > kMaxDevices)
        return;
    if (!states_[size_t(n)])
        states_[size_t(n)] = std::make_unique<FileState>();
    const QString requested = requestedPath(n);
    loadWhole(requested, Paths::ResolveNoCase(requested), nowSecs(), h, *states_[size_t(n)],
              PreloadThreads(2) > 1);
}

TankHistoryLoader::Refreshed TankHistoryLoader::Refresh(int n, TankHistory &h)
{
    if (n < 1 || n > kMaxDevices)
        return Refreshed::Unchanged;
    FileState *s = states_[size_t(n)].get();
    const QString requested = requestedPath(n);
    const qint64 now = nowSecs();
    auto reload = [&] {
        Load(n, h);
        return Refreshed::Reloaded;
    };
    if (!s || s->requested != requested || !s->describes(h) || !s->clockAgrees(now))
        return reload();

    struct stat st;
    if (::stat(s->native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!s->exists && !QFileInfo::exists(Paths::ResolveNoCase(requested)))
            return Refreshed::Unchanged; // still no file
        return reload();
    }
    if (!s->exists || quint64(st.st_dev) != s->dev || quint64(st.st_ino) != s->ino || st.st_size < s->size)
        return reload(); // new, replaced or shortened
    if (st.st_size == s->size)
        return mtimeNs(st) == s->mtime ? Refreshed::Unchanged : reload();

    // Grown: continue where the last read stopped, unless the bytes around
    // that point show the file was rewritten rather than appended to.
    Fd f;
    f.fd = ::open(s->native.constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || quint64(st.st_ino) != s->ino || st.st_size < s->size)
        return reload();
    if (readAt(f.fd, 0, s->head.size()) != s->head ||
        readAt(f.fd, s->consumed - s->tail.size(), s->tail.size()) != s->tail)
        return reload();
    makeRoom(h, qint64(double(st.st_size - s->consumed) / s->bytesPerLine) + 4);
    TankFileParser parser(h, s->parser, now);
    const ReadResult r = readLines(f.fd, s->consumed, st.st_size, parser);
    s->consumed = r.consumed;
    s->size = r.end;
    s->mtime = mtimeNs(st);
    if (s->head.size() < kCheckBytes)
        s->head = readAt(f.fd, 0, qsizetype(std::min<qint64>(kCheckBytes, s->size)));
    s->captureTail(f.fd);
    s->remember(h);
    return Refreshed::Appended;
}

int TankHistoryLoader::PreloadThreads(int count)
{
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(std::min(cores, 8), 1, std::max(count, 1));
}

void TankHistoryLoader::StartPreload(int count)
{
    FinishPreload();
    count = std::clamp(count, 0, kMaxDevices);
    if (count == 0)
        return;
    preload_ = std::make_unique<Preload>();
    Preload &p = *preload_;
    p.cells.resize(size_t(count) + 1);
    p.now = nowSecs();
    // Paths are worked out here: the run state and the folder listing of the
    // case-insensitive match stay on this thread.
    for (int i = 1; i <= count; ++i) {
        p.cells[size_t(i)].requested = requestedPath(i);
        p.cells[size_t(i)].resolved = Paths::ResolveNoCase(p.cells[size_t(i)].requested);
    }
    p.cells[0].done = p.cells[0].taken = true;
    for (int t = PreloadThreads(count); t > 0; --t) {
        try {
            p.threads.emplace_back([&p] { p.work(); });
        } catch (const std::system_error &) {
            break;
        }
    }
    if (p.threads.empty())
        preload_.reset(); // no thread to be had: the records load their files themselves
}

void TankHistoryLoader::LoadOrTake(int n, TankHistory &h)
{
    if (n < 1 || n > kMaxDevices)
        return;
    if (preload_ && size_t(n) < preload_->cells.size() && !preload_->cells[size_t(n)].taken) {
        Preload &p = *preload_;
        Preload::Cell &cell = p.cells[size_t(n)];
        {
            std::unique_lock<std::mutex> lock(p.m);
            p.cv.wait(lock, [&] { return cell.done; });
        }
        swapHistories(h, cell.h);
        states_[size_t(n)] = std::make_unique<FileState>(std::move(cell.s));
        cell.taken = true;
        if (std::all_of(p.cells.begin(), p.cells.end(), [](const Preload::Cell &s) { return s.taken; }))
            FinishPreload();
        // The arrays moved with the swap, so the state still describes them;
        // this catches what was appended since the worker read the file.
        Refresh(n, h);
        return;
    }
    Load(n, h);
}

void TankHistoryLoader::FinishPreload() { preload_.reset(); }
