#include "TankSnapshot.h"

#include "Figures.h"

#include <algorithm>

std::optional<double> TankSnapshot::daysUntilEmpty(const QDateTime &now) const
{
    if (!emptyAt.isValid())
        return std::nullopt;
    return std::max(0.0, double(TankHistory::toSecs(emptyAt) - TankHistory::toSecs(now)) / 86400.0);
}

DeviceRecord FiguresOf(const DeviceRecord &rec)
{
    DeviceRecord r;
    r.SN = rec.SN;
    r.Geraetetyp = rec.Geraetetyp;
    r.Temperatur = rec.Temperatur;
    r.Volumen = rec.Volumen;
    r.Einheit = rec.Einheit;
    r.Tanktyp = rec.Tanktyp;
    r.DezPunkt = rec.DezPunkt;
    r.Tankvolumen = rec.Tankvolumen;
    r.Tankhoehe = rec.Tankhoehe;
    r.Uhrzeit = rec.Uhrzeit;
    r.Tankbezeichnung = rec.Tankbezeichnung;
    r.Alarm = rec.Alarm;
    r.ClientIP = rec.ClientIP;
    r.Link = rec.Link;
    r.TempKorr = rec.TempKorr;
    return r;
}

TankSnapshot ComposeSnapshot(int n, const DeviceRecord &rec, const SnapshotFigures &f)
{
    TankSnapshot s;
    s.tank = n;
    s.record = FiguresOf(rec);
    s.label = f.label;
    s.tempKorrOn = f.tempKorrOn;
    s.status = f.status;
    s.loss = f.loss;
    s.consumed = f.consumed;
    s.link = rec.Link;
    if (!s.fault()) {
        s.level = ScaledLevel(CorrectedVolume(rec, f.tempKorrOn), rec);
        bool ok = false;
        const int p = CorrectedPercentText(rec, f.tempKorrOn).chopped(1).toInt(&ok);
        if (ok)
            s.percent = p;
        s.emptyAt = f.emptyAt;
        s.dailyUse = f.emptyAt.isValid() ? f.dailyUse : 0;
    }
    return s;
}
