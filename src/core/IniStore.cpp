#include "IniStore.h"

#include "Cp1252.h"
#include "Paths.h"
#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

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

// A value as the file holds it: in double quotes when a reader would
// otherwise change it (blanks at its ends are trimmed, one pair of matching
// quotes around it dropped), so that " x " and "quoted" read back as given.
QByteArray storedForm(const QByteArray &v)
{
    const bool quote =
        !v.isEmpty() && (isBlank(v.front()) || isBlank(v.back()) ||
                         (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()));
    return quote ? '"' + v + '"' : v;
}

QString fold(const QString &s)
{
    return s.trimmed().toCaseFolded();
}

// Case-folded key names are compared without folding the asked-for name
// first: no allocation on the per-key path of a batch.
bool sameKey(const QString &folded, const QString &key)
{
    return QString::compare(folded, QStringView(key).trimmed(), Qt::CaseInsensitive) == 0;
}

// Section header: "[name]" after optional blanks; text after the last "]" is
// ignored. Returns false for other lines.
bool headerName(const QByteArray &raw, bool utf8, QString *name)
{
    int i = 0;
    while (i < raw.size() && isBlank(raw[i]))
        ++i;
    if (i >= raw.size() || raw[i] != '[')
        return false;
    const int close = raw.lastIndexOf(']');
    if (close < i)
        return false;
    const QByteArray bytes = trimmed(raw, i + 1, close);
    *name = utf8 ? QString::fromUtf8(bytes) : Cp1252::decode(bytes);
    return true;
}

// UTF-16 without a byte-order mark: NUL bytes in a large share of the text,
// nearly all on one side of each character (a zero-filled tail after a power
// cut is left out; it has them on both sides).
bool looksLikeUtf16(const QByteArray &b, bool *littleEndian)
{
    qsizetype end = b.size();
    while (end > 0 && b[end - 1] == '\0')
        --end;
    qsizetype even = 0, odd = 0;
    for (qsizetype i = 0; i < end; ++i)
        if (b[i] == '\0')
            ++(i % 2 ? odd : even);
    if (end < 4 || (even + odd) * 3 < end)
        return false;
    *littleEndian = odd > even;
    return std::max(even, odd) * 10 >= (even + odd) * 9;
}

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

bool validUtf8(QByteArrayView bytes)
{
    QStringDecoder dec(QStringConverter::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = dec(bytes); // the decoder works when its result is taken
    return !dec.hasError();
}

} // namespace

QByteArray IniFile::textOf(const QByteArray &raw, QString *refusal)
{
    // UTF-16 and UTF-32 are read as UTF-8 with its mark, so nothing is lost.
    const auto fromUnicode = [&](QStringConverter::Encoding enc, qsizetype skip) {
        QStringDecoder dec(enc, QStringDecoder::Flag::Stateless);
        return kUtf8Mark + QString(dec(QByteArrayView(raw).sliced(skip))).toUtf8();
    };
    if (raw.startsWith(kUtf8Mark)) {
        if (validUtf8(QByteArrayView(raw).sliced(3)))
            return raw;
        return raw.mid(3); // a stray mark before Windows-1252 text
    }
    if (raw.startsWith(QByteArray("\xFF\xFE\0\0", 4)) || raw.startsWith(QByteArray("\0\0\xFE\xFF", 4))) {
        *refusal = QStringLiteral("UTF-32 text, not Windows-1252");
        return fromUnicode(raw.startsWith("\xFF") ? QStringConverter::Utf32LE : QStringConverter::Utf32BE, 4);
    }
    bool le = true;
    if (raw.startsWith("\xFF\xFE") || raw.startsWith("\xFE\xFF")) {
        *refusal = QStringLiteral("UTF-16 text, not Windows-1252");
        return fromUnicode(raw.startsWith("\xFF") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, 2);
    }
    if (looksLikeUtf16(raw, &le)) {
        *refusal = QStringLiteral("UTF-16 text, not Windows-1252");
        return fromUnicode(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, 0);
    }
    return raw;
}

QString IniFile::decoded(const QByteArray &bytes) const
{
    return utf8_ ? QString::fromUtf8(bytes) : Cp1252::decode(bytes);
}

QByteArray IniFile::encoded(const QString &text) const
{
    return utf8_ ? text.toUtf8() : Cp1252::encode(text);
}

void IniFile::switchToUtf8()
{
    utf8_ = true;
    for (Section &s : sections_)
        for (Line &l : s.lines) {
            l.raw = Cp1252::decode(l.raw).toUtf8();
            if (l.valueStart >= 0) {
                l.valueStart = -1;
                parseKeyLine(l, true);
            }
        }
}

void IniFile::parseKeyLine(Line &l, bool utf8)
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
    l.keyFolded = (utf8 ? QString::fromUtf8(key) : Cp1252::decode(key)).toCaseFolded();
    l.valueStart = eq + 1;
}

void IniFile::indexSection(int i)
{
    if (!index_.contains(sections_[size_t(i)].folded))
        index_.insert(sections_[size_t(i)].folded, i);
}

void IniFile::dropIfEmpty(int si)
{
    const Section &s = sections_[size_t(si)];
    if (!s.hasHeader)
        return;
    for (size_t i = 1; i < s.lines.size(); ++i)
        if (!trimmed(s.lines[i].raw).isEmpty())
            return;
    // A second section of the same name would come to light: keep this one.
    for (int i = 0; i < int(sections_.size()); ++i)
        if (i != si && sections_[size_t(i)].folded == s.folded)
            return;
    sections_.erase(sections_.begin() + si);
    index_.clear();
    for (int i = 0; i < int(sections_.size()); ++i)
        indexSection(i);
    lastSection_.clear();
    lastSectionIndex_ = -1;
}

void IniFile::parse(const QByteArray &bytes)
{
    sections_.clear();
    index_.clear();
    lastSection_.clear();
    sections_.push_back(Section{});
    // A file with the UTF-8 mark and UTF-8 text after it stays UTF-8; any
    // other is Windows-1252 (a stray mark is then part of the first line).
    utf8_ = bytes.startsWith(kUtf8Mark) && validUtf8(QByteArrayView(bytes).sliced(3));
    qsizetype pos = utf8_ ? 3 : 0;
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
        if (headerName(line.raw, utf8_, &name)) {
            Section s;
            s.folded = name.toCaseFolded();
            s.hasHeader = true;
            s.lines.push_back(std::move(line));
            sections_.push_back(std::move(s));
            indexSection(int(sections_.size()) - 1);
            continue;
        }
        parseKeyLine(line, utf8_);
        sections_.back().lines.push_back(std::move(line));
    }
}

QByteArray IniFile::serialize() const
{
    QByteArray out = utf8_ ? kUtf8Mark : QByteArray();
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

bool IniFile::hasSection(const QString &section) const
{
    return findSection(fold(section)) >= 0;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key, int maxLength) const
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
        QString text = decoded(v);
        if (maxLength >= 0 && text.size() > maxLength)
            text.truncate(text.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
        return text;
    }
    return std::nullopt;
}

void IniFile::setValue(const QString &section, const QString &key, const std::optional<QString> &value)
{
    // Text Windows-1252 cannot hold turns the whole file into UTF-8, for good.
    if (!utf8_ && value && !(Cp1252::Holds(*value) && Cp1252::Holds(section) && Cp1252::Holds(key)))
        switchToUtf8();
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
        s.lines.push_back(Line{"[" + encoded(section.trimmed()) + "]", "\r\n", {}, -1});
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
            dropIfEmpty(si);
            return;
        }
        // Keep the key as it is spelled in the file.
        l.raw = trimmed(l.raw, 0, l.valueStart - 1) + "=" + storedForm(encoded(*value));
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
    Line l{encoded(key.trimmed()) + "=" + storedForm(encoded(*value)), "\r\n", fold(key), -1};
    l.valueStart = int(l.raw.indexOf('=')) + 1;
    lines.insert(lines.begin() + qsizetype(at), std::move(l));
}

// ---------------------------------------------------------------------------

namespace
{

struct Stamp {
    bool exists = false;
    qint64 size = 0, mtimeNs = 0, ctimeNs = 0; // ctime: a chmod makes a refused file worth a new look
    quint64 inode = 0;
    bool operator==(const Stamp &o) const
    {
        return exists == o.exists && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs &&
               inode == o.inode;
    }
};

Stamp stampOf(const QString &path)
{
    Stamp s;
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    s.inode = st.st_ino;
    return s;
}

struct CacheEntry {
    Stamp stamp;
    IniFile file;
    bool loaded = false;
    // Set when the file exists but must not be written over: it could not be
    // read, or it is not Windows-1252 text. Says why.
    QString refusal;
    bool dirty = false; // changed inside a batch, not yet written
    // The file may not be written (chmod 444): respected; said once.
    bool readOnly = false;
    bool readOnlyTold = false;
};

const char kReadOnly[] = "the file is read-only: changed settings are not kept";

// Brings the cached copy up to date with the file, unless it holds pending
// batch changes (which win until the batch is written).
void refresh(CacheEntry &e, const QString &path)
{
    if (e.dirty)
        return;
    const Stamp now = stampOf(path);
    if (e.loaded && now == e.stamp)
        return;
    e.stamp = now;
    e.loaded = true;
    e.refusal.clear();
    e.readOnly = now.exists && SafeFile::IsReadOnly(path);
    if (!e.readOnly)
        e.readOnlyTold = false;
    e.file.parse({});
    if (!now.exists)
        return;
    QByteArray bytes;
    QString why;
    switch (SafeFile::ReadRegular(path, &bytes, &why)) {
    case SafeFile::ReadStatus::Missing:
        return;
    case SafeFile::ReadStatus::NotRegular:
    case SafeFile::ReadStatus::Failed:
        // Never parse an unreadable file as empty and then write that back.
        e.refusal = why;
        return;
    case SafeFile::ReadStatus::Ok:
        break;
    }
    e.file.parse(IniFile::textOf(bytes, &e.refusal));
}

// Writes the cached copy over the file. On failure the file is left as it
// was and the cached copy keeps the new values, so reads through this store
// stay consistent and the next write tries them all again.
bool writeOut(const QString &path, CacheEntry &e, QString *why)
{
    e.dirty = false;
    if (!e.refusal.isEmpty()) {
        *why = e.refusal;
        return false;
    }
    if (e.readOnly) {
        *why = QString::fromLatin1(kReadOnly);
        return false;
    }
    const QByteArray bytes = e.file.serialize();
    // The file holds the stored passwords.
    bool ok = SafeFile::ReplacePrivate(path, bytes, why);
    if (!ok && !QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        Paths::EnsureFolder(QFileInfo(path).absolutePath());
        ok = SafeFile::ReplacePrivate(path, bytes, why);
    }
    e.stamp = stampOf(path);
    return ok;
}

} // namespace

struct IniStore::State {
    QMutex mutex;
    std::map<QString, CacheEntry> cache;
    int batchDepth = 0;
    FailureReport report;

    CacheEntry &entryFor(const QString &path)
    {
        CacheEntry &e = cache[path];
        refresh(e, path);
        return e;
    }
};

namespace
{
// Called without the store's lock: the report may show a box or write again.
void reportAll(const IniStore::FailureReport &report, const QList<std::pair<QString, QString>> &failed)
{
    if (report)
        for (const auto &[path, why] : failed)
            report(path, why);
}
} // namespace

IniStore::IniStore(FailureReport report) : d_(std::make_unique<State>())
{
    d_->report = std::move(report);
}

IniStore::~IniStore() = default;

void IniStore::setFailureReport(FailureReport report)
{
    QMutexLocker lock(&d_->mutex);
    d_->report = std::move(report);
}

std::optional<QString> IniStore::read(const QString &path, const QString &section, const QString &key,
                                      int maxLength)
{
    QMutexLocker lock(&d_->mutex);
    return d_->entryFor(path).file.value(section, key, maxLength);
}

bool IniStore::write(const QString &path, const QString &section, const QString &key,
                     const std::optional<QString> &value, QString *whyOut)
{
    QMutexLocker lock(&d_->mutex);
    CacheEntry &e = d_->entryFor(path);
    e.file.setValue(section, key, value);
    if (d_->batchDepth > 0) {
        e.dirty = true;
        return true;
    }
    QString why;
    const bool ok = writeOut(path, e, &why);
    const bool tell = !ok && !(e.readOnly && std::exchange(e.readOnlyTold, true));
    const FailureReport report = d_->report;
    lock.unlock();
    if (tell)
        reportAll(report, {{path, why}});
    if (!ok && whyOut)
        *whyOut = why;
    return ok;
}

IniBatch::IniBatch(IniStore &store) : store_(store)
{
    QMutexLocker lock(&store_.d_->mutex);
    ++store_.d_->batchDepth;
}

IniBatch::~IniBatch()
{
    commit();
}

bool IniBatch::commit(QString *whyOut)
{
    if (done_)
        return true;
    done_ = true;
    IniStore::State &d = *store_.d_;
    QMutexLocker lock(&d.mutex);
    if (--d.batchDepth > 0)
        return true;
    QList<std::pair<QString, QString>> failed, told;
    for (auto &[path, e] : d.cache) {
        QString why;
        if (e.dirty && !writeOut(path, e, &why)) {
            failed.append({path, why});
            if (!(e.readOnly && std::exchange(e.readOnlyTold, true)))
                told.append({path, why});
        }
    }
    const IniStore::FailureReport report = d.report;
    lock.unlock();
    reportAll(report, told);
    if (!failed.isEmpty() && whyOut)
        *whyOut = failed.first().second;
    return failed.isEmpty();
}
