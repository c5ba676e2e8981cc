#pragma once
#include "Catalogue.h"
#include "IniStore.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <optional>

class RunSwitches;

// The no-value marker: writing it deletes the key.
inline constexpr std::nullopt_t IniNoValue = std::nullopt;

// The settings of one run, with the rules of the private-profile functions:
// the file is the executable's name + ".ini" in the data folder; in client
// mode reads come from the serving installation's file (except the keys that
// are always local), writes always go to the local one. Built once by the
// application layer and passed by reference. It owns its store: the cache and
// the batches of one Settings never reach another's.
class Settings
{
public:
    // Called with the file's path and the file layer's reason when a write or
    // a batch could not replace it.
    using FailureReport = std::function<void(const QString &path, const QString &reason)>;

    explicit Settings(const RunSwitches &switches, FailureReport report = {});
    Settings(const Settings &) = delete;
    Settings &operator=(const Settings &) = delete;
    // The application layer installs the message (text 17) once the language is known.
    void setFailureReport(FailureReport report) { report_ = std::move(report); }

    // The stored text (at most 254 characters) or the key's default.
    QString read(const IniKey &key) const;
    QString read(const IniKey &key, const QString &def) const; // a computed default
    // The whole stored text, without the cut of read() (a password's stored form).
    QString readWhole(const IniKey &key) const;
    qint64 readInt(const IniKey &key) const;  // ToLongOrZero of read()
    bool readSwitch(const IniKey &key) const; // any non-zero number is on
    bool readIsOne(const IniKey &key) const;  // on only when the number equals 1

    // False (after the failure report) when the file could not be replaced;
    // callers carry on as if it had been written.
    bool write(const IniKey &key, const std::optional<QString> &value);
    bool write(const IniKey &key, qint64 value);

    // Replaces the local file by one that holds only these values, in one
    // atomic replace (nothing is lost when the write fails half-way).
    bool replaceLocal(const QList<QPair<IniKey, QString>> &values);

    QString localPath() const;
    QString readPath() const;
    // The store behind this object, for sections and keys outside the
    // catalogue (and files beside the settings file).
    IniStore &store() const { return store_; }

    // Many writes in one replace of the file: while a batch is alive writes
    // change only the cached copy; commit() (or the end of the batch) writes
    // it once. Reads inside a batch see the pending values.
    class Batch
    {
    public:
        explicit Batch(Settings &settings) : batch_(settings.store_) {}
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
        // False (after the failure report) when the file could not be replaced.
        bool commit() { return batch_.commit(); }

    private:
        IniBatch batch_;
    };

private:
    QString pathFor(const IniKey &key) const;
    bool reported(bool ok, const QString &path, const QString &reason) const;

    const RunSwitches &switches_;
    FailureReport report_;
    mutable IniStore store_;
};
