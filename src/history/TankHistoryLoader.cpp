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
#include <csetjmp>
#include <csignal>
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
#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22 // Linux 5.14; likewise
#endif
#ifndef MADV_COLLAPSE
#define MADV_COLLAPSE 25 // Linux 6.1; likewise
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

// Huge pages where whole ones fit into [begin, end): fresh memory mapped page
// by page costs as much as parsing the file, as huge pages a tenth of that.
// A 2 MB block that has held a page before (the allocator's bookkeeping,
// elements moved in by reserve, memory used and given back) would be mapped
// page by page: one page is mapped in each block, then all of them are made
// huge pages at once.
void adviseHuge(uintptr_t begin, uintptr_t end)
{
    const uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t a = (begin + huge - 1) & ~(huge - 1), b = end & ~(huge - 1);
    if (b <= a)
        return;
    ::madvise(reinterpret_cast<void *>(a), b - a, MADV_HUGEPAGE);
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    for (uintptr_t block = a; block < b; block += huge)
        ::madvise(reinterpret_cast<void *>(block), page, MADV_POPULATE_WRITE);
    ::madvise(reinterpret_cast<void *>(a), b - a, MADV_COLLAPSE);
}

// Maps the pages of elements [from, to) in one go.
template <typename T> void mapPages(std::vector<T> &v, size_t from, size_t to)
{
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = uintptr_t(v.data() + std::max(from, v.size()));
    const uintptr_t last = uintptr_t(v.data() + std::min(to, v.capacity()));
    const uintptr_t a = (first + page - 1) & ~(page - 1), b = last & ~(page - 1);
    if (b > a)
        ::madvise(reinterpret_cast<void *>(a), b - a, MADV_POPULATE_WRITE);
}

template <typename T> void populate(std::vector<T> &v, size_t from, size_t to)
{
    adviseHuge(uintptr_t(v.data() + std::max(from, v.size())), uintptr_t(v.data() + std::min(to, v.capacity())));
    mapPages(v, from, to);
}

// The room of an array from element `from` on, in bytes.
struct Room {
    uintptr_t begin, end;
};
template <typename T> Room roomOf(const std::vector<T> &v, size_t from)
{
    return {uintptr_t(v.data() + std::max(from, v.size())), uintptr_t(v.data() + v.capacity())};
}

void populateAll(TankHistory &h, size_t from, size_t to)
{
    // The three arrays are mostly allocated one right after the other (a few
    // bytes of the allocator's own between them): a 2 MB block across the
    // end of one and the start of the next is all theirs and may be a huge
    // page too. Nothing is joined across a whole page that is not theirs.
    Room rooms[] = {roomOf(h.HistoryTimes, from), roomOf(h.HistoryValues, from), roomOf(h.HistoryTemps, from)};
    std::sort(std::begin(rooms), std::end(rooms), [](const Room &a, const Room &b) { return a.begin < b.begin; });
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    Room run = rooms[0];
    for (size_t i = 1; i < std::size(rooms); ++i) {
        if (rooms[i].begin >= run.end && rooms[i].begin - run.end < page) {
            run.end = rooms[i].end;
        } else {
            adviseHuge(run.begin, run.end);
            run = rooms[i];
        }
    }
    adviseHuge(run.begin, run.end);
    mapPages(h.HistoryTimes, from, to);
    mapPages(h.HistoryValues, from, to);
    mapPages(h.HistoryTemps, from, to);
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

// A whole file mapped read-only: its lines are read where the page cache
// holds them, without copying them first (which costs a tenth of the load).
// nullptr data where the file cannot be mapped.
struct Mapping {
    const char *data = nullptr;
    size_t size = 0;
    // Still mapped: two threads each give back the part they have read.
    uintptr_t keptFrom = 0, keptTo = 0;
    Mapping(int fd, qint64 bytes)
    {
        if (fd < 0 || bytes <= 0)
            return;
        void *p = ::mmap(nullptr, size_t(bytes), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            data = static_cast<const char *>(p);
            size = size_t(bytes);
            const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
            keptFrom = uintptr_t(p);
            keptTo = (keptFrom + size + page - 1) & ~(page - 1);
        }
    }
    ~Mapping()
    {
        if (keptTo > keptFrom)
            ::munmap(reinterpret_cast<void *>(keptFrom), keptTo - keptFrom);
    }
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    // The pages before byte `to` (after byte `from`) are not needed again;
    // each called by the one thread that read that part.
    void releaseFront(qint64 to)
    {
        if (!data)
            return;
        const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
        const uintptr_t end = std::min(uintptr_t(data + to) & ~(page - 1), keptTo);
        if (end > keptFrom) {
            ::munmap(reinterpret_cast<void *>(keptFrom), end - keptFrom);
            keptFrom = end;
        }
    }
    void releaseBack(qint64 from)
    {
        if (!data)
            return;
        const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
        const uintptr_t begin = std::max((uintptr_t(data + from) + page - 1) & ~(page - 1), keptFrom);
        if (keptTo > begin) {
            ::munmap(reinterpret_cast<void *>(begin), keptTo - begin);
            keptTo = begin;
        }
    }
};

// A mapped file that someone shortens while it is read (an editor saving in
// place, say) faults (SIGBUS) at the first page past its new end. While a
// thread reads a mapping, such a fault returns it to feedMapped, which
// reports it; any other SIGBUS goes to the handler that was there before.
thread_local sigjmp_buf *tShrunkJump = nullptr;
thread_local const char *tMappedFrom = nullptr;
thread_local const char *tMappedTo = nullptr;
struct sigaction gPreviousBus;

void onBusError(int, siginfo_t *info, void *)
{
    const char *at = static_cast<const char *>(info->si_addr);
    if (tShrunkJump && at >= tMappedFrom && at < tMappedTo)
        siglongjmp(*tShrunkJump, 1);
    // Not ours: put the earlier handler back; the access faults again.
    ::sigaction(SIGBUS, &gPreviousBus, nullptr);
}

void catchShrinking()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_sigaction = onBusError;
        sa.sa_flags = SA_SIGINFO;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &gPreviousBus);
    });
}

// Feeds the lines of map[from, to) to the parser and returns the end of the
// last complete one, or -1 when the file shrank under the mapping (the
// parser and its history are then half done and to be thrown away). The
// parser keeps nothing that needs destroying in the frames it may leave.
qint64 feedMapped(const Mapping &map, qint64 from, qint64 to, TankFileParser &parser)
{
    // The page tables of this part in one go rather than fault by fault.
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = uintptr_t(map.data + from) & ~(page - 1);
    ::madvise(reinterpret_cast<void *>(first), size_t(uintptr_t(map.data + to) - first), MADV_POPULATE_READ);
    struct Unguard { // however this frame is left
        ~Unguard() { tShrunkJump = nullptr; }
    } unguard;
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0)
        return -1;
    tMappedFrom = map.data;
    tMappedTo = map.data + map.size;
    tShrunkJump = &jump;
    return from + parser.feed(map.data + from, qsizetype(to - from));
}

// Where the lines of [from, to) come from: the mapping if there is one, else
// reads in blocks. false: the mapped file shrank.
struct Source {
    int fd;
    Mapping &map;
    bool read(qint64 from, qint64 to, TankFileParser &parser, ReadResult *r) const
    {
        if (!map.data) {
            *r = readLines(fd, from, to, parser);
            return true;
        }
        const qint64 consumed = feedMapped(map, from, to, parser);
        *r = {consumed, to};
        return consumed >= 0;
    }
};

std::function<void(const QByteArray &)> gMappedHook; // tests only

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
// With a second thread a big file is read in two parts at once. false: the
// file was mapped (mapFile) and shrank or changed while it was read.
bool loadOnce(const QString &requested, const QString &resolved, qint64 now, TankHistory &h, FileState &s,
              bool secondThread, bool mapFile)
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
        return true;
    }
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.mtime = mtimeNs(st);
    const qint64 fileSize = st.st_size;
    if (mapFile)
        catchShrinking();
    else
        ::posix_fadvise(f.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Mapping map(mapFile ? f.fd : -1, fileSize);
    if (map.data && gMappedHook)
        gMappedHook(s.native);
    const Source source{f.fd, map};
    s.bytesPerLine = sampleBytesPerLine(f.fd, fileSize);
    const double expected = double(fileSize) / s.bytesPerLine;
    makeRoom(h, qint64(expected * 1.02) + 16);
    const size_t mapped = size_t(std::min(expected, double(kMaxCells)));
    TankFileParser parser(h, s.parser, now);
    // Halves: the other thread also maps its records' memory, this one folds
    // them afterwards; the two about cancel out.
    const qint64 split = secondThread && fileSize >= kSplitBytes ? lineStartAfter(f.fd, fileSize / 2) : -1;
    ReadResult r{0, 0};
    bool done = false;
    if (split > 0) {
        // The second part becomes records on another thread while this one
        // folds the first part; the records are then folded in order, which
        // gives what one pass gives.
        std::vector<TankFileParser::Record> records;
        ReadResult second{split, split};
        bool secondRead = false;
        const double bytesPerLine = s.bytesPerLine;
        std::thread other;
        try {
            // Touches nothing of this thread's but the file.
            other = std::thread([&records, &second, &secondRead, &source, split, fileSize, bytesPerLine, now] {
                const size_t expectRecords = size_t(double(fileSize - split) / bytesPerLine * 1.02) + 16;
                records.reserve(expectRecords);
                populate(records, 0, expectRecords);
                TankFileParser p2(records, now);
                secondRead = source.read(split, fileSize, p2, &second);
                source.map.releaseBack(split); // meanwhile the other thread folds
            });
        } catch (const std::system_error &) {
            // No thread to be had: one pass below.
        }
        if (other.joinable()) {
            populateAll(h, 0, mapped);
            ReadResult first{0, 0};
            const bool firstRead = source.read(0, split, parser, &first);
            if (first.consumed == split)
                map.releaseFront(split); // while the other thread may still read
            other.join();
            if (!firstRead || !secondRead)
                return false;
            if (first.consumed != split) {
                // The file changed while it was read: again, the rest in one pass.
                if (map.data)
                    return false;
                r = readLines(f.fd, first.consumed, fileSize, parser);
            } else {
                parser.replay(records);
                r = second;
            }
            done = true;
        }
    }
    if (!done) {
        populateAll(h, 0, mapped);
        if (!source.read(0, fileSize, parser, &r))
            return false;
    }
    s.consumed = r.consumed;
    s.size = r.end;
    s.head = readAt(f.fd, 0, qsizetype(std::min<qint64>(kCheckBytes, s.size)));
    s.captureTail(f.fd);
    settle(h);
    s.remember(h);
    return true;
}

void loadWhole(const QString &requested, const QString &resolved, qint64 now, TankHistory &h, FileState &s,
               bool secondThread)
{
    // A file shortened or rewritten while it was mapped is read again the
    // plain way.
    if (!loadOnce(requested, resolved, now, h, s, secondThread, true))
        loadOnce(requested, resolved, now, h, s, secondThread, false);
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

void TankHistoryLoader::SetMappedHookForTests(std::function<void(const QByteArray &)> hook)
{
    gMappedHook = std::move(hook);
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
