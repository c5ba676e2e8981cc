#include "Settings.h"

#include "RunSwitches.h"
#include "SafeFile.h"
#include "TextHelpers.h"

Settings::Settings(const RunSwitches &switches, FailureReport report)
    : switches_(switches), report_(std::move(report)),
      store_([this](const QString &path, const QString &reason) {
          if (report_)
              report_(path, reason);
      })
{
}

QString Settings::localPath() const
{
    return switches_.options().SettingsLocalPath();
}
QString Settings::readPath() const
{
    return switches_.SettingsReadPath();
}

QString Settings::pathFor(const IniKey &key) const
{
    return key.alwaysLocal ? localPath() : readPath();
}

QString Settings::read(const IniKey &key) const
{
    return read(key, key.defaultText());
}

QString Settings::read(const IniKey &key, const QString &def) const
{
    return store_.read(pathFor(key), key.sectionName(), key.keyName()).value_or(def);
}

QString Settings::readWhole(const IniKey &key) const
{
    return store_.read(pathFor(key), key.sectionName(), key.keyName(), -1).value_or(key.defaultText());
}

qint64 Settings::readInt(const IniKey &key) const
{
    return ToLongOrZero(read(key));
}
bool Settings::readSwitch(const IniKey &key) const
{
    return readInt(key) != 0;
}
bool Settings::readIsOne(const IniKey &key) const
{
    return readInt(key) == 1;
}

bool Settings::reported(bool ok, const QString &path, const QString &reason) const
{
    if (!ok && report_)
        report_(path, reason);
    return ok;
}

bool Settings::write(const IniKey &key, const std::optional<QString> &value)
{
    // The store reports a failure; it creates a missing folder when the file
    // cannot be created.
    return store_.write(localPath(), key.sectionName(), key.keyName(), value);
}

bool Settings::replaceLocal(const QList<QPair<IniKey, QString>> &values)
{
    IniFile file;
    for (const auto &[key, value] : values)
        file.setValue(key.sectionName(), key.keyName(), value);
    const QString path = localPath();
    QString why;
    const bool ok = SafeFile::ReplacePrivate(path, file.serialize(), &why);
    return reported(ok, path, why);
}

bool Settings::write(const IniKey &key, qint64 value)
{
    return write(key, std::optional<QString>(QString::number(value)));
}
