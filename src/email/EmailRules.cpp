#include "EmailRules.h"

#include "MessageText.h"

#include <cmath>

double RuleNumber(const QString &text, double fallback, bool positiveOnly)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || (positiveOnly && v <= 0))
        return fallback;
    return v;
}

namespace
{

// The refuelling steps and the level reports of one reading (after the alarm step).
void levelRules(RuleOutcome &out, const RuleReading &r, const RuleValues &v, const QDateTime &now)
{
    TankRuleState &s = out.state;
    if (r.volumen < 0 || IsMeasurementStale(r.uhrzeit, now))
        return;
    const double p = r.percent;
    auto message = [&](RuleMessage m) {
        out.messages << m;
        out.storeReportedLevels = true;
        s.melderasterLast = p;
        if (v.mailsGoOut)
            s.letzteEmail = now;
    };

    // The running minimum since the last refuelling.
    const double m = s.minProzent;
    if (p < m) {
        s.minProzent = p;
        s.minVolumen = r.volumen;
        out.written |= TankRuleState::MinProzentField | TankRuleState::MinVolumenField;
    }

    // A rise of more than the delta above the minimum opens a refuelling case;
    // its snapshot and message report the minimum before it.
    if (p > m + s.deltaProzentBetankung && !s.betankungsfall) {
        s.betankungsfall = true;
        s.betankungEnde = now;
        s.betankungMax = p;
        out.written |= TankRuleState::BetankungsfallField | TankRuleState::BetankungEndeField |
                       TankRuleState::BetankungMaxField;
        message({ReasonRefuelStart, s.minVolumen, true});
    }

    if (s.betankungsfall) {
        if (s.betankungMax < p) { // still rising
            s.betankungEnde = now;
            s.betankungMax = p;
            out.written |= TankRuleState::BetankungEndeField | TankRuleState::BetankungMaxField;
            return;
        }
        const double k = v.simulation ? 1 : v.deltaMinutenBetankung;
        if (s.betankungEnde.addMSecs(qint64(std::llround(k * 60000))) > now)
            return;
        s.betankungsfall = false;
        s.betankungEnde = now;
        s.betankungMax = p;
        s.minProzent = 100;
        out.written |= TankRuleState::BetankungsfallField | TankRuleState::BetankungEndeField |
                       TankRuleState::BetankungMaxField | TankRuleState::MinProzentField;
        message({ReasonRefuelEnd, std::nullopt, true});
        return;
    }

    // Level and cyclic reports.
    const int t = v.schwelle2;
    const qint64 h = p >= t ? v.abstand1 : v.abstand2;
    const double q = s.melderasterLast;
    const bool crossed = q >= t && p < t;
    const bool moved = v.melderaster <= std::abs(q - p);
    const bool due = s.letzteEmail.msecsTo(now) >= h * 3600000;
    if (crossed || moved || due)
        message({p >= t ? ReasonCyclic : ReasonLevelLow, std::nullopt, false});
}

} // namespace

RuleOutcome EvaluateEmailRules(const TankRuleState &state, const RuleReading &r, const RuleValues &v,
                               const QDateTime &now)
{
    RuleOutcome out;
    out.state = state;
    if (r.alarmChanged) {
        const int reason = r.alarm && v.alarmmode >= 1    ? ReasonAlarmStart
                           : !r.alarm && v.alarmmode >= 2 ? ReasonAlarmEnd
                                                          : 0;
        if (reason) {
            out.messages << RuleMessage{reason, std::nullopt, false};
            if (v.mailsGoOut)
                out.state.letzteEmail = now;
        }
        // The reported levels are stored after every alarm evaluation.
        out.storeReportedLevels = true;
        out.state.melderasterLast = r.percent;
    }
    levelRules(out, r, v, now);
    return out;
}
