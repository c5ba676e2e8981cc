#include "TankHistoryLoader.h"

#include "TankFile.h"

#include "core/Paths.h"
#include "core/RunSwitches.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
constexpr qsizetype kBlock = qsizetype(1) << 20; // bytes per read
constexpr qsizetype kCheckBytes = 64;            // compared at the start and before the resume point
// The cap, and the room the parser takes beyond it while older entries give way.
constexpr size_t kMaxCells = size_t(TankHistory::kMaxEntries) + 1 + size_t(TankFileParser::kSlack);
constexpr qsizetype kSample = 64 * 1024;

qint64 nowSecs(const ClockFn &clock)
{
    return clock().toSecsSinceEpoch();
}

QString requestedPath(const RunSwitches &switches, int n)
{
    return switches.TankReadFolder() + QStringLiteral("Tank") + QString::number(n) + QStringLiteral(".csv");
}

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

// Opens a regular file for reading, -1 for anything else. Opening never
// waits: a FIFO named like a tank file would block the start-up in open()
// until some writer came, a device could block or never end.
int openRegular(const QByteArray &path, struct stat *st)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

qint64 mtimeNs(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Reads up to len bytes at offset into to; how many were read.
qsizetype readAt(int fd, qint64 offset, char *to, qsizetype len)
{
    qsizetype got = 0;
    while (got < len) {
        const ssize_t r = ::pread(fd, to + got, size_t(len - got), offset + got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += r;
    }
    return got;
}

QByteArray readAt(int fd, qint64 offset, qsizetype len)
{
    QByteArray b(len, Qt::Uninitialized);
    b.truncate(readAt(fd, offset, b.data(), len));
    return b;
}

// Large arrays in huge pages where the system offers them on request: a
// full history is several MiB per array, and backing it 2 MiB at a time
// instead of 4 KiB costs a fraction of the page faults. Only an advice.
template <typename T> void adviseHugePages(const std::vector<T> &v)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t from = (uintptr_t(v.data()) + huge - 1) & ~(huge - 1);
    const uintptr_t to = uintptr_t(v.data() + v.capacity()) & ~(huge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(v);
#endif
}

void reserveAll(TankHistory &h, size_t cells)
{
    h.HistoryTimes.reserve(cells);
    h.HistoryValues.reserve(cells);
    h.HistoryTemps.reserve(cells);
    adviseHugePages(h.HistoryTimes);
    adviseHugePages(h.HistoryValues);
    adviseHugePages(h.HistoryTemps);
}

// Room for the expected lines plus a little, so the next few client refreshes
// append without moving the arrays; never beyond the cap.
size_t withHeadroom(size_t cells)
{
    return std::min(kMaxCells, cells + std::max<size_t>(cells / 32, 256));
}

void makeRoom(TankHistory &h, qint64 moreLines)
{
    const size_t size = h.HistoryTimes.size();
    const size_t need = std::min(kMaxCells, size + size_t(std::max<qint64>(moreLines, 0)));
    if (need > h.HistoryTimes.capacity())
        reserveAll(h, withHeadroom(need));
}

// After a full load: give back a reservation that thinning or a poor
// estimate left far too large (the arrays are the bulk of the memory).
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
    }
}

} // namespace

// The reading buffer, kept from one file to the next.
class TankHistoryLoader::ReadBuffer
{
public:
    char *data() { return p_.get(); }
    qsizetype size() const { return size_; }
    void ensure(qsizetype n)
    {
        if (n > size_) {
            p_.reset(new char[size_t(n)]);
            size_ = n;
        }
    }
    // Twice the size, keeping the first `keep` bytes.
    void grow(qsizetype keep)
    {
        std::unique_ptr<char[]> bigger(new char[size_t(size_) * 2]);
        std::memcpy(bigger.get(), p_.get(), size_t(keep));
        p_.swap(bigger);
        size_ *= 2;
    }

private:
    std::unique_ptr<char[]> p_;
    qsizetype size_ = 0;
};

namespace
{
using Buffer = TankHistoryLoader::ReadBuffer;

struct ReadResult {
    qint64 consumed; // end of the last complete line
    qint64 end;      // end of what was read
};

// Backs the next `cells` reserved cells of v with memory in one call, just
// before the parser writes them: a page fault for every 4 KiB of a
// history's arrays costs more than the reading of its file, and pages backed
// far ahead would be cold again when written. Only an advice: where the
// system does not take it, the pages come one by one as before.
template <typename T> void backAhead(const std::vector<T> &v, size_t cells)
{
#ifdef MADV_POPULATE_WRITE
    static const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = (uintptr_t(v.data() + v.size()) + page - 1) & ~(page - 1);
    const uintptr_t to = uintptr_t(v.data() + std::min(v.capacity(), v.size() + cells)) & ~(page - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(v);
    Q_UNUSED(cells);
#endif
}

// Feeds [from, to) of the file to the parser in large blocks; a line cut by
// a block boundary is carried into the next block. The history's arrays
// are backed a block's worth of lines ahead.
ReadResult readLines(int fd, qint64 from, qint64 to, TankFileParser &parser, Buffer &buf,
                     const TankHistory &h, double bytesPerLine)
{
    buf.ensure(kBlock);
    qint64 pos = from, consumed = from;
    qsizetype carry = 0;
    while (pos < to) {
        const qsizetype want = qsizetype(std::min<qint64>(buf.size() - carry, to - pos));
        const ssize_t r = ::pread(fd, buf.data() + carry, size_t(want), pos);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        pos += r;
        const qsizetype avail = carry + r;
        const size_t lines = size_t(double(avail) / bytesPerLine) + 1;
        backAhead(h.HistoryTimes, lines);
        backAhead(h.HistoryValues, lines);
        backAhead(h.HistoryTemps, lines);
        const qsizetype used = parser.feed(buf.data(), avail);
        consumed += used;
        carry = avail - used;
        if (carry && used)
            std::memmove(buf.data(), buf.data() + used, size_t(carry));
        if (carry == buf.size()) // one line longer than the buffer
            buf.grow(carry);
    }
    return {consumed, pos};
}

// Tank-file lines are all about the same length: the start of the file
// tells how many entries to expect.
double sampleBytesPerLine(int fd, qint64 size, Buffer &buf)
{
    buf.ensure(kBlock);
    const qsizetype got = readAt(fd, 0, buf.data(), qsizetype(std::min<qint64>(kSample, size)));
    const qsizetype lines = std::count(buf.data(), buf.data() + got, '\n');
    return lines > 0 ? double(got) / double(lines) : 36.0;
}
} // namespace

struct TankHistoryLoader::FileState {
    QString requested;   // folder + "Tank" + n + ".csv" as asked for
    QByteArray native;   // the file actually read (letter case resolved)
    bool exists = false; // a regular file was read
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

namespace
{
using FileState = TankHistoryLoader::FileState;

// The whole file into h; touches nothing shared, so workers can run it.
void loadWhole(const QString &requested, const QString &resolved, qint64 now, TankHistory &h, FileState &s,
               Buffer &buf)
{
    h = TankHistory(); // gives back the arrays of an earlier load
    s = FileState{};
    s.requested = requested;
    s.native = QFile::encodeName(resolved);
    struct stat st;
    const Fd f(openRegular(s.native, &st));
    if (f.fd < 0) {
        s.remember(h);
        return;
    }
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.mtime = mtimeNs(st);
    ::posix_fadvise(f.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    s.bytesPerLine = sampleBytesPerLine(f.fd, st.st_size, buf);
    makeRoom(h, qint64(double(st.st_size) / s.bytesPerLine * 1.02) + 16);
    TankFileParser parser(h, s.parser, now);
    const ReadResult r = readLines(f.fd, 0, st.st_size, parser, buf, h, s.bytesPerLine);
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
        Buffer buf; // one per worker, for all its files
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= int(cells.size()))
                return;
            Cell &cell = cells[size_t(i)];
            loadWhole(cell.requested, cell.resolved, now, cell.h, cell.s, buf);
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

TankHistoryLoader::TankHistoryLoader(const RunSwitches &switches, ClockFn clock)
    : switches_(switches), clock_(std::move(clock)), buffer_(std::make_unique<ReadBuffer>())
{
}
TankHistoryLoader::~TankHistoryLoader()
{
    FinishPreload();
}

void TankHistoryLoader::Load(int n, TankHistory &h)
{
    if (n < 1 || n > kMaxDevices)
        return;
    if (!states_[size_t(n)])
        states_[size_t(n)] = std::make_unique<FileState>();
    const QString requested = requestedPath(switches_, n);
    loadWhole(requested, Paths::ResolveNoCase(requested), nowSecs(clock_), h, *states_[size_t(n)], *buffer_);
}

void TankHistoryLoader::LoadFile(const QString &path, qint64 now, TankHistory &h)
{
    FileState s;
    ReadBuffer buffer;
    loadWhole(path, Paths::ResolveNoCase(path), now, h, s, buffer);
}

TankHistoryLoader::Refreshed TankHistoryLoader::Refresh(int n, TankHistory &h)
{
    if (n < 1 || n > kMaxDevices)
        return Refreshed::Unchanged;
    FileState *s = states_[size_t(n)].get();
    const QString requested = requestedPath(switches_, n);
    const qint64 now = nowSecs(clock_);
    auto reload = [&] {
        Load(n, h);
        return Refreshed::Reloaded;
    };
    if (!s || s->requested != requested || !s->describes(h) || !s->clockAgrees(now))
        return reload();

    struct stat st;
    if (!s->exists) {
        // Still no file to read, under any letter case?
        const Fd f(openRegular(QFile::encodeName(Paths::ResolveNoCase(requested)), &st));
        return f.fd < 0 ? Refreshed::Unchanged : reload();
    }
    const Fd f(openRegular(s->native, &st));
    if (f.fd < 0 || quint64(st.st_dev) != s->dev || quint64(st.st_ino) != s->ino || st.st_size < s->size)
        return reload(); // gone, replaced or shortened
    if (st.st_size == s->size)
        return mtimeNs(st) == s->mtime ? Refreshed::Unchanged : reload();

    // Grown: continue where the last read stopped, unless the bytes around
    // that point show the file was rewritten rather than appended to.
    if (readAt(f.fd, 0, s->head.size()) != s->head ||
        readAt(f.fd, s->consumed - s->tail.size(), s->tail.size()) != s->tail)
        return reload();
    makeRoom(h, qint64(double(st.st_size - s->consumed) / s->bytesPerLine) + 4);
    TankFileParser parser(h, s->parser, now);
    const ReadResult r = readLines(f.fd, s->consumed, st.st_size, parser, *buffer_, h, s->bytesPerLine);
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
    p.now = nowSecs(clock_);
    // Paths are worked out here: the run state and the folder listing of the
    // case-insensitive match stay on this thread.
    for (int i = 1; i <= count; ++i) {
        p.cells[size_t(i)].requested = requestedPath(switches_, i);
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

void TankHistoryLoader::FinishPreload()
{
    preload_.reset();
}
