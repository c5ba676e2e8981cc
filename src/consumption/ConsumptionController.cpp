#include "ConsumptionController.h"

#include "ConsumptionCsv.h"
#include "core/Catalogue.h"
#include "core/RunConfig.h"
#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/DeviceRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
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
                                             const Texts &texts, const RunConfig &config, ClockFn clock,
                                             QObject *parent)
    : QObject(parent), devices_(devices), settings_(settings), ui_(ui), texts_(texts), config_(config),
      clock_(std::move(clock)), model_(texts)
{
}

bool ConsumptionController::OpenForm(const DeviceTable &devices, UiServices &ui, const Texts &texts)
{
    if (devices.DeviceCount >= 1 && HasConsumptionData(devices))
        return true;
    ui.messageBox(texts(353) + QLatin1Char('\n') + texts(379) + QLatin1Char('\n') + texts(380), texts(354),
                  MsgIcon::Information, MsgButtons::Ok);
    return false;
}

void ConsumptionController::select(int number)
{
    const ConsumptionResult r =
        ComputeConsumption(devices_, ConsumptionRequestFor(settings_, config_, clock_(), number));
    caption_ = ConsumptionCaption(r.groups, texts_);
    model_.setSheet(ConsumptionSheet(r.groups));
    if (!r.protocolError.isEmpty())
        ui_.status(NoticeTopic::Consumption, QStringLiteral("LogVerbrauch.txt: ") + r.protocolError);
    emit tableChanged();
}

QList<ConsumptionController::ChartBars> ConsumptionController::chartBars() const
{
    const QDate today = clock_().date();
    const std::vector<ConsumptionGroup> &groups = model_.sheet().groups();
    int first = -1;
    for (const ConsumptionGroup &g : groups)
        if (g.firstMonth >= 0)
            first = first < 0 ? g.firstMonth : std::min(first, g.firstMonth);
    QList<ChartBars> bars;
    for (const ConsumptionGroup &g : groups)
        bars.append({g.unit, LastMonths(g.table, today.year(), today.month(), kChartMonths, first)});
    return bars;
}

int ConsumptionController::columnWidth(int column) const
{
    const qint64 w = settings_.readInt(Cfg::GridColWidth.at(column + 1));
    return w >= kNarrowest && w <= 10000 ? int(w) : kDefaultWidth;
}

bool ConsumptionController::hasColumnWidth(int column) const
{
    bool ok = false;
    const qint64 w = settings_.read(Cfg::GridColWidth.at(column + 1), QString()).trimmed().toLongLong(&ok);
    return ok && w >= kNarrowest && w <= 10000;
}

void ConsumptionController::setColumnWidth(int column, int width)
{
    settings_.write(Cfg::GridColWidth.at(column + 1), qint64(width));
}

QString ConsumptionController::defaultExportPath() const
{
    QString folder = QFileInfo(settings_.read(Cfg::PathExport, QString())).absolutePath();
    if (settings_.read(Cfg::PathExport, QString()).isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) // a system without a documents folder
        folder = QDir::homePath();
    const QString name = QStringLiteral("Tankmon-consumption-") +
                         clock_().date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
    return QDir(folder).filePath(name);
}

void ConsumptionController::exportCsv(const QString &chosen, ConsumptionCsvFormat format, int number,
                                      const QString &entryText)
{
    if (chosen.isEmpty())
        return;
    const QString path = WithCsvExtension(chosen);
    settings_.write(Cfg::PathExport, path);
    const ConsumptionExportFile out =
        ConsumptionExportBytes(devices_, ConsumptionRequestFor(settings_, config_, clock_(), number), format,
                               entryText, ConsumptionCsvTexts::forLanguage(texts_));
    QString error;
    if (SafeFile::Replace(path, out.bytes, &error))
        ui_.messageBox(texts_(361) + QLatin1Char(' ') + path + QLatin1Char('\n') + texts_(362), QString(),
                       MsgIcon::None, MsgButtons::Ok);
    else
        ui_.messageBox(error, texts_(363), MsgIcon::Stop, MsgButtons::Ok);
}
