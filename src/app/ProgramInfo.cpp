#include "ProgramInfo.h"

#include "core/RunConfig.h"
#include "lang/Lng.h"

#include <QVersionNumber>

QString ProgramTitle(const RunConfig &config, bool withName)
{
    if (withName)
        // The client is the same program, named as such, not by a name of its own.
        return config.clientMode ? config.exeBaseName + QStringLiteral(" \u2013 ") + LngText(44).trimmed()
                                 : config.exeBaseName;
    QString t = config.CompanyFolderName() + QLatin1Char(' ') + config.exeBaseName;
    if (config.clientMode)
        t += LngText(44);
    return t;
}

QString VersionText(int major, int minor, int revision)
{
    QString v = QStringLiteral("V%1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
    if (revision != 0)
        v += QStringLiteral(".%1").arg(revision, 2, 10, QLatin1Char('0'));
    return v;
}

QString ProgramVersionText()
{
    const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(TANKMON_VERSION));
    return VersionText(v.majorVersion(), v.minorVersion(), v.microVersion());
}

QString VersionBanner(const RunConfig &config)
{
    return ProgramTitle(config, false) + QLatin1Char(' ') + ProgramVersionText() +
           QStringLiteral(" (package " TANKMON_VERSION ")\n"
                          "Copyright (C) 2026 The Tankmon developers\n"
                          "License GPL-3.0-or-later: GNU GPL version 3 or later "
                          "<https://www.gnu.org/licenses/gpl-3.0.html>\n"
                          "This is free software: you are free to change and redistribute it.\n"
                          "There is NO WARRANTY, to the extent permitted by law.\n");
}
