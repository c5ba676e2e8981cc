#pragma once
#include <QByteArray>
#include <QString>

// The settings file and the tank files are single-byte Windows-1252 text, as
// written by existing installations. Own codec: no dependency on ICU names.
namespace Cp1252
{
QString decode(const QByteArray &bytes);
QString decode(const char *data, qsizetype len);
// Characters outside the code page become '?'.
QByteArray encode(const QString &text);
// True when encode loses nothing of text.
bool Holds(const QString &text);
} // namespace Cp1252
