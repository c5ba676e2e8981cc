#include "Clock.h"

ClockFn SystemClock()
{
    return [] {
        const QDateTime local = QDateTime::currentDateTime();
        return QDateTime(local.date(), local.time(), Qt::UTC);
    };
}
