#include "RunSwitches.h"

#include "Paths.h"

QString RunSwitches::SettingsReadPath() const
{
    if (options_.clientMode && !clientPath_.isEmpty())
        return Paths::ResolveNoCase(Paths::WithSeparator(clientPath_) +
                                    options_.ExeFileName(QStringLiteral(".ini")));
    return options_.SettingsLocalPath();
}

QString RunSwitches::TankWriteFolder() const
{
    return logFolder_.isEmpty() ? options_.dataFolder : Paths::WithSeparator(logFolder_);
}

QString RunSwitches::TankReadFolder() const
{
    if (options_.clientMode && !clientPath_.isEmpty())
        return Paths::WithSeparator(clientPath_);
    return TankWriteFolder();
}
