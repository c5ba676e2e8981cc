#include "ConsumptionController.h"

#include "ConsumptionCsv.h"
#include "core/Catalogue.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <cmath>

namespace
{
// A percentage from the settings file; "," is taken as the decimal point,
// and a text that is no number keeps the key's default.
double settingNumber(const Settings &settings, const IniKey &key)
{
    QString text = settings.read(key).trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : key.defaultText().toDouble();
}

constexpr int kDefaultWidth = 60;
constexpr int kNarrowest = 16; // a stored width never hides a column
} // namespace

ConsumptionSettings ConsumptionSettingsFrom(const Settings &settings)
{
    ConsumptionSettings s;
    s.logVerbrauch = settings.readIsOne(Cfg::LogVerbrauch);
    s.trigger = settingNumber(settings, Cfg::MinProzentBetankungTrigger);
    s.minProzent = settingNumber(settings, Cfg::MinProzentVerbrauch);
    return s;
}

ConsumptionRequest ConsumptionRequestFor(const Settings &settings, const RunConfig &config,
                                         const QDateTime &now, int selection)
{
    ConsumptionRequest r;
    r.selection = selection;
    r.currentYear = now.date().year();
    r.settings = ConsumptionSettingsFrom(settings);
    r.protocolPath = config.DataFilePath(QStringLiteral("LogVerbrauch.txt"));
    return r;
}

QString WithCsvExtension(const QString &path)
{
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".csv");
}

ConsumptionController::ConsumptionController(const DeviceTable &devices, Settings &settings, UiServices &ui,
                                             const RunConfig &config, ClockFn clock, QObject *parent)
    : QObject(parent), devices_(devices), settings_(settings), ui_(ui), config_(config),
      clock_(std::move(clock)), model_(QLocale::system())
{
}

bool ConsumptionController::OpenForm(const DeviceTable &devices, UiServices &ui)
{
    if (devices.DeviceCount >= 1 && HasConsumptionData(devices))
        return true;
    ui.messageBox(LngText(353) + QLatin1Char('\n') + LngText(379) + QLatin1Char('\n') + LngText(380),
                  LngText(354), MsgIcon::Information, MsgButtons::Ok);
    return false;
}

qint64 ConsumptionController::initialSelection() const
{
    return devices_.DeviceCount > 1 ? 0 : settings_.readInt(Cfg::GeraeteAktuell);
}

void ConsumptionController::select(int number)
{
    const ConsumptionResult r =
        ComputeConsumption(devices_, ConsumptionRequestFor(settings_, config_, clock_(), number));
    unit_ = ConsumptionUnitOf(devices_, number);
    caption_ = ConsumptionCaption(unit_);
    model_.setTable(r.table, unit_.unit);
    if (!r.protocolError.isEmpty())
        ui_.setPanelText(1, QStringLiteral("LogVerbrauch.txt: ") + r.protocolError);
    emit tableChanged();
}

QList<MonthAmount> ConsumptionController::chartMonths() const
{
    const QDate today = clock_().date();
    return LastMonths(model_.table(), today.year(), today.month(), kChartMonths);
}

int ConsumptionController::columnWidth(int column) const
{
    const qint64 w = settings_.readInt(Cfg::GridColWidth.at(column + 1));
    return w >= kNarrowest && w <= 10000 ? int(w) : kDefaultWidth;
}

void ConsumptionController::setColumnWidth(int column, int width)
{
    settings_.write(Cfg::GridColWidth.at(column + 1), qint64(width));
}

void ConsumptionController::exportCsv(const QString &entryText)
{
    const QString def = settings_.read(Cfg::PathExport, config_.DataFilePath(LngText(356)));
    // The answer may come after the window has closed: the export needs only
    // what lives as long as the program, and the table as it was asked for.
    Settings &settings = settings_;
    UiServices &ui = ui_;
    const ConsumptionTable table = model_.table();
    ui_.inputBox(LngText(357), LngText(358), def, [&settings, &ui, entryText, table](const QString &answer) {
        if (answer.isEmpty())
            return;
        const QString path = WithCsvExtension(answer);
        settings.write(Cfg::PathExport, path);
        const QByteArray bytes =
            ConsumptionCsv(entryText, table, ConsumptionCsvTexts::forLocale(QLocale::system()));
        QString error;
        if (SafeFile::Replace(path, bytes, &error))
            ui.messageBox(LngText(361) + QLatin1Char(' ') + path + QLatin1Char('\n') + LngText(362),
                          QString(), MsgIcon::None, MsgButtons::Ok);
        else
            ui.messageBox(error, LngText(363), MsgIcon::Stop, MsgButtons::Ok);
    });
}
