#pragma once
#include <QByteArray>
#include <QLocale>
#include <QString>

// The text protocol "LogVerbrauch.txt" of one consumption run: every counted
// refuelling and every entered month, in the order the computation finds
// them. Numbers and times in the given locale's plain forms, as a reader of
// that locale expects them; the third item of a line starts in the next print
// zone (zones are 14 characters wide). Windows-1252 text with CR LF, like the
// program's other text files. The lines are gathered and the file replaced
// in one piece at close: an odd file of that name (a FIFO, say) never blocks
// the run, and a failure leaves the previous protocol as it was.
class ConsumptionProtocol
{
public:
    static constexpr int kZoneWidth = 14;

    // The file is replaced at close, empty when no line was written.
    ConsumptionProtocol(const QString &path, const QLocale &locale);

    void refuelling(int tank, qint64 timeSecs, double before, double after, double refuellingSum);
    // monthChange: the month ended at timeSecs; otherwise the month in progress.
    void month(int tank, qint64 timeSecs, bool monthChange, double lastValue, double cellNumber);
    // Writes the file. The failure's description, empty when it was written.
    QString close();

    // "first" and "second" one after the other, "third" from the next zone on.
    static QString zoned(const QString &first, const QString &second, const QString &third);

private:
    QString number(double v) const;
    QString time(qint64 secs) const;
    QString head(int tank, qint64 timeSecs) const;
    void write(const QString &line);

    QString path_;
    QByteArray bytes_;
    QLocale locale_;
    QString timeFormat_;
};
