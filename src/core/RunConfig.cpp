#include "RunConfig.h"

#include "Paths.h"

bool RunConfig::hasWord(const QString &word) const
{
    return words.join(QLatin1Char(' ')).contains(word, Qt::CaseInsensitive);
}

QString RunConfig::CompanyFolderName() const
{
    return partnerBranding ? QStringLiteral("ARV") : QStringLiteral("VALMOR");
}

QString RunConfig::SettingsLocalPath() const
{
    return DataFilePath(ExeFileName(QStringLiteral(".ini")));
}

QString RunConfig::SettingsReadPath() const
{
    if (clientMode && !clientPath.isEmpty())
        return Paths::ResolveNoCase(Paths::WithSeparator(clientPath) + ExeFileName(QStringLiteral(".ini")));
    return SettingsLocalPath();
}

QString RunConfig::TankWriteFolder() const
{
    return logFolder.isEmpty() ? dataFolder : Paths::WithSeparator(logFolder);
}

QString RunConfig::TankReadFolder() const
{
    if (clientMode && !clientPath.isEmpty())
        return Paths::WithSeparator(clientPath);
    return TankWriteFolder();
}
