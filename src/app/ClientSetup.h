#pragma once
#include "core/UiServices.h"

#include <QByteArray>
#include <QString>

class Settings;
class RunSwitches;

// Client mode's own settings: the folder of the serving installation's
// settings file ("Client"/"Path") and the client set-up. No widgets.
namespace ClientSetup
{

// What OK of the client-path dialog comes to.
struct Outcome {
    bool stored = false;
    QString text;
    MsgIcon icon = MsgIcon::None;
};
// The folder typed or chosen, made to end in the separator. Without a
// settings file of the serving installation there, nothing is stored and
// nothing is created; otherwise the folder goes to "Client"/"Path" and into
// memory, and lngId (the run's language) to "LngPtnr"/"LngId".
Outcome StorePath(RunSwitches &switches, Settings &settings, const QString &text, int lngId);

// The client set-up: the local settings file keeps only the language (lngId,
// the run's, when it names one) and the client path.
bool ReduceLocalSettings(Settings &settings, int lngId);

// Whether a stored folder was written by a Windows installation: a network
// path (\\server\share\...) or a drive (C:\...).
bool IsWindowsPath(const QString &path);
// The local folder of a Windows network path: the mount point of the share
// //server/share in mounts (the text of /proc/self/mounts; letter case
// ignored) with the rest of the path below it, ending in "/". Empty when the
// share is not mounted or the path names a drive.
QString MountedFolder(const QString &windowsPath, const QByteArray &mounts);
// The same against this machine's mounted file systems.
QString MountedFolder(const QString &windowsPath);

} // namespace ClientSetup
