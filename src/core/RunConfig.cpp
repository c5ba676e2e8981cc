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
