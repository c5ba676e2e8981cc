#include "TraceLog.h"

#include "Cp1252.h"
#include "DateText.h"
#include "RunSwitches.h"

#include "SafeFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const QByteArray name = QFile::encodeName(switches_->tracePath());
    struct stat st {
    };
    // Only a regular file, never opened otherwise: opening a FIFO waits for
    // its reader, and a device may act. The second look catches a swap.
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return;
    const int fd =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        (void)SafeFile::WriteAll(fd, TraceLine(clock_(), text));
    ::close(fd);
}
