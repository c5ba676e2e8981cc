#include "TraceLog.h"

#include "Clock.h"
#include "Cp1252.h"
#include "DateText.h"
#include "RunState.h"

#include <QFile>

QByteArray TraceLine(const QDateTime &t, const QString &text)
{
    return Cp1252::encode(FormatDateText(t) + QLatin1Char(' ') +
                          QStringLiteral("%1").arg(t.time().msec(), 3, 10, QLatin1Char('0')) +
                          QLatin1Char(',') + text) +
           "\r\n";
}

void LogInFile(const QString &text)
{
    const QString &path = State().tracePath;
    if (path.isEmpty())
        return;
    QFile f(path);
    if (!f.open(QIODevice::Append))
        return;
    f.write(TraceLine(Clock::Now(), text));
}
