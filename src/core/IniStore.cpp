#include "IniStore.h"

#include "Cp1252.h"
#include "Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStringList>
#include <map>
#include <sys/stat.h>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimmed(const QByteArray &b, int from = 0, int to = -1)
{
    if (to < 0)
        to = b.size();
    while (from < to && isBlank(b[from]))
        ++from;
    while (to > from && (isBlank(b[to - 1]) || b[to - 1] == '\0'))
        --to;
    return b.mid(from, to - from);
}

QString fold(const QString &s) { return s.trimmed().toCaseFolded(); }

// Case-folded key names are compared without folding the asked-for name
// first: no allocation on the per-key path of a batch.
bool sameKey(const QString &folded, const QString &key)
{
    return QString::compare(folded, QStringView(key).trimmed(), Qt::CaseInsensitive) == 0;
}

// Section header: "[name]" after optional blanks; text after the last "]" is
// ignored. Returns false for other lines.
bool headerName(const QByteArray &raw, QString *name)
{
    int i = 0;
    while (i < raw.size() && isBlank(raw[i]))
        ++i;
    if (i >= raw.size() || raw[i] != '[')
        return false;
    const int close = raw.lastIndexOf(']');
    if (close < i)
        return false;
    *name = Cp1252::decode(trimmed(raw, i + 1, close));
    return true;
}

} // namespace

void IniFile::parseKeyLine(Line &l)
{
    int i = 0;
    while (i < l.raw.size() && isBlank(l.raw[i]))
        ++i;
    if (i >= l.raw.size() || l.raw[i] == ';' || l.raw[i] == '#')
        return;
    const int eq = l.raw.indexOf('=', i);
    if (eq < 0)
        return;
    const QByteArray key = trimmed(l.raw, i, eq);
    if (key.isEmpty())
        return;
    l.keyFolded = Cp1252::decode(key).toCaseFolded();
    l.valueStart = eq + 1;
}

void IniFile::indexSection(int i)
{
    if (!index_.contains(sections_[size_t(i)].folded))
        index_.insert(sections_[size_t(i)].folded, i);
}

void IniFile::parse(const QByteArray &bytes)
{
    sections_.clear();
    index_.clear();
    lastSection_.clear();
    sections_.push_back(Section{});
    qsizetype pos = 0;
    const qsizetype n = bytes.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        Line line;
        line.raw = bytes.mid(pos, end - pos);
        if (end < n) {
            if (bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n')
                line.eol = "\r\n";
            else
                line.eol = bytes.mid(end, 1);
        }
        pos = end + line.eol.size();
        QString name;
        if (headerName(line.raw, &name)) {
            Section s;
            s.folded = name.toCaseFolded();
            s.hasHeader = true;
            s.lines.push_back(std::move(line));
            sections_.push_back(std::move(s));
            indexSection(int(sections_.size()) - 1);
            continue;
        }
        parseKeyLine(line);
        sections_.back().lines.push_back(std::move(line));
    }
}

QByteArray IniFile::serialize() const
{
    QByteArray out;
    for (const Section &s : sections_)
        for (const Line &l : s.lines) {
            out += l.raw;
            out += l.eol;
        }
    return out;
}

int IniFile::findSection(const QString &folded) const
{
    return index_.value(folded, -1);
}

bool IniFile::hasSection(const QString &section) const { return findSection(fold(section)) >= 0; }

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const int si = findSection(fold(section));
    if (si < 0)
        return std::nullopt;
    for (const Line &l : sections_[si].lines) {
        if (l.valueStart < 0 || !sameKey(l.keyFolded, key))
            continue;
        QByteArray v = trimmed(l.raw, l.valueStart);
        // Windows drops one pair of matching quotes around a value.
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        const int nul = v.indexOf('\0');
        if (nul >= 0)
            v.truncate(nul);
        if (v.size() > kIniMaxValueLength)
            v.truncate(kIniMaxValueLength);
        return Cp1252::decode(v);
    }
    return std::nullopt;
}

void IniFile::setValue(const QString &section, const QString &key,
                       const std::optional<QString> &value)
{
    // Writes come in runs for one section (a device's keys): remember it.
    int si;
    if (!lastSection_.isEmpty() && lastSection_ == section) {
        si = lastSectionIndex_;
    } else {
        si = findSection(fold(section));
        if (si >= 0) {
            lastSection_ = section;
            lastSectionIndex_ = si;
        }
    }
    if (si < 0) {
        if (!value)
            return;
        // Make sure the previous last line is ended before the new header.
        for (auto it = sections_.rbegin(); it != sections_.rend(); ++it)
            if (!it->lines.empty()) {
                if (it->lines.back().eol.isEmpty())
                    it->lines.back().eol = "\r\n";
                break;
            }
        Section s;
        s.folded = fold(section);
        s.hasHeader = true;
        s.lines.push_back(Line{"[" + Cp1252::encode(section.trimmed()) + "]", "\r\n", {}, -1});
        sections_.push_back(std::move(s));
        si = int(sections_.size()) - 1;
        indexSection(si);
    }
    auto &lines = sections_[si].lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        Line &l = lines[i];
        if (l.valueStart < 0 || !sameKey(l.keyFolded, key))
            continue;
        if (!value) {
            lines.erase(lines.begin() + qsizetype(i));
            return;
        }
        // Keep the key as it is spelled in the file.
        l.raw = trimmed(l.raw, 0, l.valueStart - 1) + "=" + Cp1252::encode(*value);
        l.valueStart = int(l.raw.indexOf('=')) + 1;
        if (l.eol.isEmpty())
            l.eol = "\r\n";
        return;
    }
    if (!value)
        return;
    size_t at = lines.size();
    while (at > (sections_[si].hasHeader ? 1u : 0u) && trimmed(lines[at - 1].raw).isEmpty())
        --at;
    if (at > 0 && lines[at - 1].eol.isEmpty())
        lines[at - 1].eol = "\r\n";
    Line l{Cp1252::encode(key.trimmed()) + "=" + Cp1252::encode(*value), "\r\n", fold(key), -1};
    l.valueStart = int(l.raw.indexOf('=')) + 1;
    lines.insert(lines.begin() + qsizetype(at), std::move(l));
}

// ---------------------------------------------------------------------------

namespace {

struct Stamp {
    bool exists = false;
    qint64 size = 0, mtimeNs = 0;
    quint64 inode = 0;
    bool operator==(const Stamp &o) const
    {
        return exists == o.exists && size == o.size && mtimeNs == o.mtimeNs && inode == o.inode;
    }
};

Stamp stampOf(const QString &path)
{
    Stamp s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.inode = st.st_ino;
    return s;
}

struct CacheEntry {
    Stamp stamp;
    IniFile file;
    bool readable = false;
    bool dirty = false; // changed inside a batch, not yet written
};

QMutex g_mutex;
std::map<QString, CacheEntry> g_cache;
int g_batchDepth = 0;
std::function<void(const QString &)> g_reporter;

void report(const QString &path)
{
    if (g_reporter)
        g_reporter(path);
}

// Brings the cached copy up to date with the file, unless it holds pending
// batch changes (which win until the batch is written).
CacheEntry &entryFor(const QString &path)
{
    CacheEntry &e = g_cache[path];
    if (e.dirty)
        return e;
    const Stamp now = stampOf(path);
    if (now == e.stamp && (e.readable || !now.exists))
        return e;
    e.stamp = now;
    e.readable = false;
    e.file.parse({});
    if (!now.exists)
        return e;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        e.file.parse(f.readAll());
        e.readable = true;
    }
    return e;
}

bool writeOut(const QString &path, CacheEntry &e)
{
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    bool ok = f.open(QIODevice::WriteOnly);
    if (!ok && !QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        Paths::EnsureFolder(QFileInfo(path).absolutePath());
        ok = f.open(QIODevice::WriteOnly);
    }
    if (ok) {
        const QByteArray bytes = e.file.serialize();
        ok = f.write(bytes) == bytes.size() && f.commit();
    }
    if (!ok)
        f.cancelWriting();
    e.dirty = false;
    // A failed write leaves our copy ahead of the file; re-read next time.
    e.stamp = ok ? stampOf(path) : Stamp{};
    e.readable = ok;
    return ok;
}

} // namespace

std::optional<QString> IniStore::Read(const QString &path, const QString &section,
                                      const QString &key)
{
    QMutexLocker lock(&g_mutex);
    return entryFor(path).file.value(section, key);
}

bool IniStore::Write(const QString &path, const QString &section, const QString &key,
                     const std::optional<QString> &value)
{
    QMutexLocker lock(&g_mutex);
    CacheEntry &e = entryFor(path);
    e.file.setValue(section, key, value);
    if (g_batchDepth > 0) {
        e.dirty = true;
        return true;
    }
    const bool ok = writeOut(path, e);
    lock.unlock();
    if (!ok)
        report(path);
    return ok;
}

void IniStore::SetWriteFailureReporter(std::function<void(const QString &)> r)
{
    QMutexLocker lock(&g_mutex);
    g_reporter = std::move(r);
}

void IniStore::DropCache()
{
    QMutexLocker lock(&g_mutex);
    g_cache.clear();
}

IniBatch::IniBatch()
{
    QMutexLocker lock(&g_mutex);
    ++g_batchDepth;
}

IniBatch::~IniBatch() { commit(); }

bool IniBatch::commit()
{
    if (done_)
        return true;
    done_ = true;
    QMutexLocker lock(&g_mutex);
    if (--g_batchDepth > 0)
        return true;
    QStringList failed;
    for (auto &[path, e] : g_cache)
        if (e.dirty && !writeOut(path, e))
            failed << path;
    lock.unlock();
    for (const QString &path : failed)
        report(path);
    return failed.isEmpty();
}
