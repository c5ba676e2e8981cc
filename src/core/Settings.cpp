#include "Settings.h"

#include "IniStore.h"
#include "Paths.h"
#include "RunState.h"
#include "UiServices.h"

QString SettingsLocalPath() { return Paths::DataFilePath(Paths::ExeFileName(QStringLiteral(".ini"))); }

QString SettingsReadPath()
{
    const RunState &s = State();
    if (s.clientMode && !s.clientPath.isEmpty())
        return Paths::ResolveNoCase(Paths::WithSeparator(s.clientPath) + Paths::ExeFileName(QStringLiteral(".ini")));
    return SettingsLocalPath();
}

QString ReadIniValue(const QString &section, const QString &key, const QString &def,
                     const QString &file)
{
    const QString path = file.isEmpty() ? SettingsReadPath() : Paths::DataFilePath(file);
    return IniStore::Read(path, section, key).value_or(def);
}

void WriteIniValue(const QString &section, const QString &key,
                   const std::optional<QString> &value, const QString &file,
                   const QString &folder)
{
    const QString name = file.isEmpty() ? Paths::ExeFileName(QStringLiteral(".ini")) : file;
    QString path;
    if (folder.isEmpty()) {
        // The store creates a missing folder when the file cannot be created.
        path = Paths::DataFilePath(name);
    } else {
        path = Paths::WithSeparator(folder) + name;
    }
    IniStore::Write(path, section, key, value);
}

void InstallIniFailureMessage(QString (*text17)())
{
    // Names the file and the reason: the user has to find and mend it.
    IniStore::SetWriteFailureReporter([text17](const QString &path, const QString &reason) {
        QString text = text17() + QLatin1Char('\n') + path;
        if (!reason.isEmpty())
            text += QLatin1Char('\n') + reason;
        Ui().messageBox(text, QString(), MsgIcon::Stop, MsgButtons::Ok);
    });
}
