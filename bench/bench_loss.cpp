// The loss alarm over simulated tank-years: readings every 10 minutes from a
// generator of realistic tanks (seasonal, temperature-driven use with a daily
// burner profile, measurement noise, temperature swing, refuellings, device
// faults with offset jumps, 3-day gaps, tractor fill-ups, pump bursts,
// outliers, injected leaks and thefts), judged by the real code (JudgeLoss,
// TankLossLimits) with the normal use the program gives it (the 14-day rate of
// ComputeEmptyForecast over an hourly history). One table: scenario → false
// alarms per tank-year, leaks or thefts caught, median time to detection.
//
//   bench_loss [--years <n>] [--seed <n>]
#include "consumption/Forecast.h"
#include "consumption/LossAlarm.h"
#include "model/DeviceRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace
{
constexpr qint64 kStep = 600; // a reading every 10 minutes
constexpr qint64 kHour = 3600, kDay = 86400;
constexpr int kYearDays = 365;

enum class Kind { HeatingOil, Diesel, RainWater };
enum class Inject { None, Leak, Theft };

struct Scenario {
    const char *name;
    Kind kind;
    bool faults = false;   // 4 device faults a year with offset jumps, and two 3-day gaps
    bool outliers = false; // about 17 single readings a year 4-8 % off and back
    const char *quiet = "";
    const char *ownProzent = ""; // the tank's own limit ("": the common 3 %)
    Inject inject = Inject::None;
    double leakPerHour = 0; // % of the capacity
    bool night = false;     // thefts within 20:30-05:30
};

struct Injection {
    qint64 start = 0, end = 0; // the loss runs from start; end: when it stopped
    double perStep = 0;        // % of the capacity each 10 minutes
    qint64 detected = -1;
    qint64 secondReadingAfter = 0; // a theft: the second reading after it ended
};

struct Result {
    int falseAlarms = 0;
    int injected = 0, caught = 0, caughtIn24h = 0, caughtBySecond = 0;
    std::vector<double> hoursToDetect;
    double years = 0;
};

class Rng
{
public:
    explicit Rng(quint64 seed) : g_(seed) {}
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(g_); }
    bool chance(double p) { return uniform(0, 1) < p; }
    int poisson(double mean) { return std::poisson_distribution<int>(mean)(g_); }

private:
    std::mt19937_64 g_;
};

double capacityOf(Kind k)
{
    return k == Kind::HeatingOil ? 6000 : k == Kind::Diesel ? 5000 : 100;
}

// Heating: share of a day's use in each hour (burner mornings and evenings).
double burnerShare(int hour)
{
    static const double w[24] = {0.3, 0.3, 0.3, 0.3, 0.3, 1.2, 2.2, 2.2, 1.6, 0.8, 0.7, 0.7,
                                 0.7, 0.7, 0.7, 0.8, 1.2, 1.6, 1.8, 1.8, 1.5, 1.0, 0.6, 0.4};
    double sum = 0;
    for (double x : w)
        sum += x;
    return w[hour] / sum;
}

// Mid-January is coldest; 1 + 0.7 cos.
double season(int day)
{
    return 1 + 0.7 * std::cos(2 * M_PI * (day - 15) / kYearDays);
}

// One year of one tank: returns its result.
Result runYear(const Scenario &sc, quint64 seed)
{
    Rng rng(seed);
    const double cap = capacityOf(sc.kind);
    const double pct = cap / 100;
    const qint64 t0 = QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 steps = kYearDays * kDay / kStep;

    LossLimits common; // the defaults: 3 % within 4 h
    const TankLossSettings own{QString::fromUtf8(sc.ownProzent), QString(), QString::fromUtf8(sc.quiet)};
    const LossLimits limits = TankLossLimits(common, own, sc.kind == Kind::RainWater);

    // The year's events, drawn up front.
    struct Span {
        qint64 start, end;
        double amount; // % of the capacity over the span (negative: an offset)
    };
    std::vector<Span> faults, gaps, draws, rains;
    std::vector<qint64> outliers;
    std::vector<Injection> injections;
    if (sc.faults) {
        for (int i = 0; i < 4; ++i) {
            const qint64 s = t0 + qint64(rng.uniform(0, kYearDays - 2)) * kDay + qint64(rng.uniform(0, kDay));
            faults.push_back({s, s + qint64(rng.uniform(1, 12) * kHour), rng.uniform(-3, 3)});
        }
        for (int i = 0; i < 2; ++i) {
            const qint64 s = t0 + qint64(rng.uniform(0, kYearDays - 4)) * kDay + qint64(rng.uniform(0, kDay));
            gaps.push_back({s, s + 3 * kDay, 0});
        }
    }
    if (sc.outliers) {
        const int n = rng.poisson(17);
        for (int i = 0; i < n; ++i)
            outliers.push_back(t0 + qint64(rng.uniform(0, double(steps))) * kStep);
    }
    for (int day = 0; day < kYearDays; ++day) {
        const qint64 d0 = t0 + day * kDay;
        const int weekday = int(((d0 / kDay) + 3) % 7); // Monday = 0
        if (sc.kind == Kind::Diesel && weekday < 6) {
            // Tractors fill up on working days, most in spring and at harvest.
            const double busy = day > 60 && day < 300 ? 1.2 : 0.4;
            const int n = rng.poisson(busy * (weekday == 5 ? 0.5 : 1));
            for (int i = 0; i < n; ++i) {
                const qint64 len = qint64(rng.uniform(5, 20) * 60);
                const qint64 s = d0 + qint64(rng.uniform(6.5 * kHour, 19.5 * kHour - double(len)));
                draws.push_back({s, s + len, rng.uniform(5, 10)});
            }
        }
        if (sc.kind == Kind::RainWater) {
            // Rain runs in over hours; pumps draw in bursts (the garden in summer).
            if (rng.chance(0.3 + 0.1 * std::cos(2 * M_PI * (day - 300) / kYearDays))) {
                const qint64 s = d0 + qint64(rng.uniform(0, kDay));
                rains.push_back({s, s + qint64(rng.uniform(1, 6) * kHour), rng.uniform(0.5, 15)});
            }
            const bool summer = day > 90 && day < 273;
            const int n = rng.poisson(summer ? 0.6 : 0.1);
            for (int i = 0; i < n; ++i) {
                const qint64 len = qint64(rng.uniform(10, 30) * 60);
                const qint64 s = d0 + qint64(rng.uniform(7 * kHour, 21 * kHour));
                draws.push_back({s, s + len, rng.uniform(10, 25)});
            }
        }
    }
    if (sc.inject != Inject::None) {
        // Four a year, a month apart at least, at any hour (thefts: at night).
        for (int i = 0; i < 4; ++i) {
            const qint64 d0 = t0 + (20 + i * 85 + qint64(rng.uniform(0, 50))) * kDay;
            Injection j;
            if (sc.inject == Inject::Theft) {
                const qint64 at = sc.night ? qint64(rng.uniform(20.5 * kHour, 29.5 * kHour - 600))
                                           : qint64(rng.uniform(0, kDay));
                j.start = d0 + at;
                j.end = j.start + 600;
                j.perStep = 3.0; // 3 % within 10 minutes
            } else {
                j.start = d0 + qint64(rng.uniform(0, kDay));
                j.end = j.start + 48 * kHour;
                j.perStep = sc.leakPerHour * kStep / kHour;
            }
            // Nothing can be judged where nothing is read: none during a gap or fault.
            bool blind = false;
            for (const auto *v : {&gaps, &faults})
                for (const Span &g : *v)
                    blind = blind || (j.start < g.end + kDay && j.end + kDay > g.start);
            if (blind) {
                --i;
                continue;
            }
            injections.push_back(j);
        }
    }

    double level = cap * rng.uniform(0.5, 0.9);
    double offset = 0, dayFactor = 1;
    size_t nextFault = 0;
    DeviceRecord rec;
    LossState state;
    std::optional<EmptyForecast> forecast;
    Result res;
    const auto inside = [](const std::vector<Span> &v, qint64 t) {
        for (const Span &s : v)
            if (t >= s.start && t < s.end)
                return &s;
        return static_cast<const Span *>(nullptr);
    };
    double refuelTo = 0;
    for (qint64 i = 0; i < steps; ++i) {
        const qint64 t = t0 + i * kStep;
        const int day = int((t - t0) / kDay);
        const int hour = int((t % kDay) / kHour);
        // Use over the step.
        if (sc.kind == Kind::HeatingOil) {
            if (t % kDay == 0)
                dayFactor = std::clamp(dayFactor + rng.uniform(-0.15, 0.15), 0.6, 1.5);
            const double perDay = 3000.0 / kYearDays * season(day) * dayFactor;
            level -= perDay * burnerShare(hour) * kStep / kHour;
        } else if (sc.kind == Kind::RainWater) {
            if (hour >= 7 && hour < 22)
                level -= 0.4 * pct / 15 * kStep / kHour; // household use by day
        }
        for (const Span &d : draws)
            if (t >= d.start - kStep && t < d.end)
                level -= d.amount * pct * double(std::min(d.end, t + kStep) - std::max(d.start, t)) /
                         double(d.end - d.start);
        for (const Span &r : rains)
            if (t + kStep > r.start && t < r.end)
                level += r.amount * pct * double(std::min(r.end, t + kStep) - std::max(r.start, t)) /
                         double(r.end - r.start);
        for (Injection &j : injections)
            if (t >= j.start && t < j.end)
                level -= j.perStep * pct;
        // Refuelling (not rain water): ordered below a quarter, delivered on a weekday morning.
        if (sc.kind != Kind::RainWater) {
            if (refuelTo == 0 && level < 0.4 * cap)
                refuelTo = cap * rng.uniform(0.85, 0.95);
            if (refuelTo > 0 && hour >= 9 && hour < 12 && int(((t / kDay) + 3) % 7) < 5) {
                level = std::min(refuelTo, level + 0.3 * cap); // a few minutes per step
                if (level >= refuelTo)
                    refuelTo = 0;
            }
        }
        level = std::clamp(level, 0.0, cap);

        // What the device sends.
        if (inside(gaps, t))
            continue;
        double reading;
        if (const Span *f = inside(faults, t)) {
            reading = -1; // an error code
            if (nextFault < faults.size() && f == &faults[nextFault]) {
                offset = std::clamp(offset + f->amount * pct, -5 * pct, 5 * pct);
                ++nextFault;
            }
        } else {
            const double swing = sc.kind == Kind::RainWater
                                     ? 0
                                     : 0.005 * level * std::sin(2 * M_PI * (t % kDay - 9 * kHour) / kDay);
            reading = level + swing + offset + rng.uniform(-0.5, 0.5) * pct;
            if (std::find(outliers.begin(), outliers.end(), t) != outliers.end())
                reading += (rng.chance(0.5) ? 1 : -1) * rng.uniform(4, 8) * pct;
            reading = std::clamp(
                sc.kind == Kind::RainWater ? std::round(reading * 10) / 10 : std::round(reading), 0.0, cap);
        }
        // The history (hourly) and the normal use (the forecast, daily).
        if (reading >= 0 && t % kHour == 0)
            rec.History.append(QDateTime::fromSecsSinceEpoch(t, Qt::UTC), reading, 0);
        if (t % kDay == 0)
            forecast = ComputeEmptyForecast(rec, {}, QDateTime::fromSecsSinceEpoch(t, Qt::UTC));

        LossOutcome out =
            JudgeLoss(std::move(state), {t, reading}, cap, forecast ? forecast->dailyUse : 0, limits);
        state = std::move(out.state);
        for (Injection &j : injections)
            if (j.secondReadingAfter == 0 && t >= j.end + kStep)
                j.secondReadingAfter = t;
        if (out.event == LossEvent::Started) {
            bool ours = false;
            for (Injection &j : injections)
                if (t >= j.start && t <= j.end + 2 * kHour) {
                    ours = true;
                    if (j.detected < 0) {
                        j.detected = t;
                        // Found: the leak is mended at once.
                        if (j.end > t)
                            j.end = t;
                    }
                }
            res.falseAlarms += !ours;
        }
    }
    for (const Injection &j : injections) {
        ++res.injected;
        if (j.detected >= 0) {
            ++res.caught;
            res.hoursToDetect.push_back(double(j.detected - j.start) / kHour);
            res.caughtIn24h += j.detected - j.start <= 24 * kHour;
            res.caughtBySecond += j.secondReadingAfter && j.detected <= j.secondReadingAfter;
        }
    }
    res.years = 1;
    return res;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int years = 10;
    quint64 seed = 1;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--years"))
            years = std::max(1, args[i + 1].toInt());
        if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toULongLong();
    }
    const std::vector<Scenario> scenarios{
        {"Heating oil 6000 L, noise 0.5 %, temperature swing", Kind::HeatingOil},
        {"  ... 4 device faults a year, offset jumps, 3-day gaps", Kind::HeatingOil, true},
        {"  ... single readings 4-8 % off (17 a year)", Kind::HeatingOil, false, true},
        {"Diesel 5 m3, tractor fill-ups 5-10 % by day", Kind::Diesel},
        {"  ... quiet hours 20:00-06:00", Kind::Diesel, false, false, "20:00-06:00"},
        {"  ... quiet hours, 3 % thefts at night", Kind::Diesel, false, false, "20:00-06:00", "",
         Inject::Theft, 0, true},
        {"Rain water in %, pump bursts 10-25 % (default: off)", Kind::RainWater},
        {"  ... switched on with 3 %", Kind::RainWater, false, false, "", "3"},
        {"Leak 1 %/h (heating oil, faults, outliers)", Kind::HeatingOil, true, true, "", "", Inject::Leak,
         1.0},
        {"Leak 0.5 %/h (heating oil, faults, outliers)", Kind::HeatingOil, true, true, "", "", Inject::Leak,
         0.5},
        {"Theft 3 % in 10 min (heating oil)", Kind::HeatingOil, true, true, "", "", Inject::Theft, 0},
    };
    std::printf(
        "Loss alarm at the defaults (3 %% within 4 h; slow leaks: %g %% within %d h), %d tank-years a "
        "scenario, readings every 10 min\n\n",
        Loss::kLongLimit * 3, Loss::kLongFactor * 4, years);
    std::printf("%-56s %12s %22s %14s\n", "scenario", "false/year", "caught (<=24h, 2nd rd)",
                "median detect");
    for (const Scenario &sc : scenarios) {
        Result total;
        for (int y = 0; y < years; ++y) {
            const Result r =
                runYear(sc, seed * 1000003 + quint64(y) * 7919 + quint64(&sc - scenarios.data()) * 104729);
            total.falseAlarms += r.falseAlarms;
            total.injected += r.injected;
            total.caught += r.caught;
            total.caughtIn24h += r.caughtIn24h;
            total.caughtBySecond += r.caughtBySecond;
            total.hoursToDetect.insert(total.hoursToDetect.end(), r.hoursToDetect.begin(),
                                       r.hoursToDetect.end());
            total.years += r.years;
        }
        QString caught = QStringLiteral("-");
        QString detect = QStringLiteral("-");
        if (total.injected) {
            caught = QStringLiteral("%1/%2 (%3, %4)")
                         .arg(total.caught)
                         .arg(total.injected)
                         .arg(total.caughtIn24h)
                         .arg(total.caughtBySecond);
            detect = QStringLiteral("%1 h").arg(median(total.hoursToDetect), 0, 'f', 2);
        }
        std::printf("%-56s %12.2f %22s %14s\n", sc.name, total.falseAlarms / total.years, qPrintable(caught),
                    qPrintable(detect));
    }
    return 0;
}
