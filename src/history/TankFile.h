#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

struct DeviceRecord;
class Texts;

// The tank files: "Tank" + n + ".csv", one line per recording, appended only.
namespace TankFile
{
// folder + "Tank" + n + ".csv", matched without regard to letter case, as
// files copied from Windows may be named "tank3.csv".
QString PathIn(const QString &folder, int n);

// One line, Windows-1252 with CR LF: date-time text, level text with every
// blank replaced by ",", and the temperature unless the device has none.
// The level's unit is named in the language of texts. The level is volumen
// (the record's own content unless a message reports another).
QByteArray Line(const QDateTime &t, const DeviceRecord &rec, qint32 volumen, const Texts &texts);
QByteArray Line(const QDateTime &t, const DeviceRecord &rec, const Texts &texts);

enum class AppendResult { Written, OpenFailed, WriteFailed };
// One attempt to append a line, created when missing, and to get it onto the
// disk before returning (a power cut then loses at most a line being
// written). A last line left torn by an earlier cut is cut off first (it
// would load as a false level); a last line ended by CR alone gets its LF.
// Only a regular file is written. error receives the file layer's text.
AppendResult Append(const QString &path, const QByteArray &line, QString *error);
} // namespace TankFile
