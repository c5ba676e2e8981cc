#include "TraceLog.h"

#include "Cp1252.h"
#include "DateText.h"
#include "RunSwitches.h"

#include <QFile>

QByteArray TraceLine(const QDateTime &t, const QString &text)
{
    return Cp1252::encode(FormatDateText(t) + QLatin1Char(' ') +
                          QStringLiteral("%1").arg(t.time().msec(), 3, 10, QLatin1Char('0')) +
                          QLatin1Char(',') + text) +
           "\r\n";
}

bool TraceLog::enabled() const
{
    return !switches_->tracePath().isEmpty();
}

void TraceLog::LogInFile(const QString &text) const
{
    if (!enabled())
        return;
    QFile f(switches_->tracePath());
    if (!f.open(QIODevice::Append))
        return;
    f.write(TraceLine(clock_(), text));
}
