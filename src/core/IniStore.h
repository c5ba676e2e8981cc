#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The most a read returns, as the Windows call with its 255-character buffer.
constexpr int kIniMaxValueLength = 254;

// One parsed settings file in the Windows private-profile format. Lines are
// kept as the bytes they were read, so writing back keeps order, comments,
// line ends and everything this program does not understand.
class IniFile
{
public:
    IniFile() { sections_.emplace_back(); } // the lines before the first header
    // Parses the bytes of a file. Never fails. Windows-1252, unless the file
    // starts with the UTF-8 byte-order mark and UTF-8 text follows: then it is
    // UTF-8 and stays so (serialize writes the mark again).
    void parse(const QByteArray &bytes);
    // The bytes of a file as parse should see them: a UTF-8 mark before text
    // that is no UTF-8 is dropped (Windows-1252 text follows); UTF-16 and
    // UTF-32 are converted to UTF-8 with its mark for reading, and refusal
    // then says why the file must not be written into.
    static QByteArray textOf(const QByteArray &raw, QString *refusal);
    QByteArray serialize() const;

    // First occurrence of section and key wins, matched without regard to
    // case. Absent section or key: nullopt. The value is cut to maxLength
    // characters (as the Windows call reads; -1: the whole value).
    std::optional<QString> value(const QString &section, const QString &key,
                                 int maxLength = kIniMaxValueLength) const;
    // nullopt deletes the key (and its section with the section's last key,
    // unless comments or other text remain). A new key goes after the
    // section's last line that is not blank; a new section goes to the end
    // of the file. A text that Windows-1252 cannot hold turns the whole file
    // into UTF-8 (every line converted, the mark in front), for good.
    // Values are written as given: they must not hold a line break.
    void setValue(const QString &section, const QString &key, const std::optional<QString> &value);
    bool hasSection(const QString &section) const;
    bool isUtf8() const { return utf8_; }

private:
    struct Line {
        QByteArray raw;      // text without its line end
        QByteArray eol;      // "\r\n", "\n", "\r" or "" for a last line without one
        QString keyFolded;   // set for key lines
        int valueStart = -1; // byte offset of the value in raw (key lines)
    };
    struct Section {
        QString folded;          // empty name for the lines before the first header
        std::vector<Line> lines; // lines[0] is the header, except for the preamble
        bool hasHeader = false;
    };
    int findSection(const QString &folded) const;
    static void parseKeyLine(Line &l, bool utf8);
    QString decoded(const QByteArray &bytes) const;
    QByteArray encoded(const QString &text) const;
    void switchToUtf8();
    void indexSection(int i);
    void dropIfEmpty(int si);

    std::vector<Section> sections_;
    QHash<QString, int> index_; // folded name -> first section of that name
    QString lastSection_;       // the section of the last write, as asked for
    int lastSectionIndex_ = -1;
    bool utf8_ = false;
};

// Reads and writes through a per-file cache that is revalidated against the
// file (inode, size, modification and change time) at every access, so
// changes made by another process, or by another store of this one, are seen
// at the next read. Every write replaces the file only once the new content
// is completely on disk (SafeFile::Replace). A file that exists but cannot be
// read, is not a regular file or is UTF-16/UTF-32 text is never written over.
// A file stays Windows-1252, byte for byte, while all it holds fits that code
// page; the first text that does not turns it into UTF-8 with a byte-order
// mark. Each Settings owns one store; its cache and its batches concern no
// other store. Safe to use from several threads.
class IniStore
{
public:
    // Called (outside the store's lock) whenever a file was not replaced, by
    // single writes and by batch commits alike; reason is the file layer's text.
    using FailureReport = std::function<void(const QString &path, const QString &reason)>;

    explicit IniStore(FailureReport report = {});
    ~IniStore();
    IniStore(const IniStore &) = delete;
    IniStore &operator=(const IniStore &) = delete;

    void setFailureReport(FailureReport report);
    // Absent file, section or key, or an unreadable file: nullopt. The value
    // is cut to maxLength characters (-1: the whole value).
    std::optional<QString> read(const QString &path, const QString &section, const QString &key,
                                int maxLength = kIniMaxValueLength);
    // Returns false when the file could not be replaced or is refused (why
    // gets the file layer's text); the cached copy then keeps the value, so
    // reads through this store stay consistent.
    bool write(const QString &path, const QString &section, const QString &key,
               const std::optional<QString> &value, QString *why = nullptr);

private:
    friend class IniBatch;
    struct State; // the lock, the cached files, the batch depth, the report
    std::unique_ptr<State> d_;
};

// While an IniBatch is alive, writes through its store only change the
// cached copies; the batch's end writes every changed file once. Batches of
// one store nest: the outermost one commits. Reads inside a batch see the
// pending values. Other stores are not affected.
class IniBatch
{
public:
    explicit IniBatch(IniStore &store);
    ~IniBatch();
    IniBatch(const IniBatch &) = delete;
    IniBatch &operator=(const IniBatch &) = delete;
    // Commits now (the outermost batch only); false when a file could not be
    // written (why gets the reason of the first one).
    bool commit(QString *why = nullptr);

private:
    IniStore &store_;
    bool done_ = false;
};
