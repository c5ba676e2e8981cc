#include "Lng.h"

#include "core/Settings.h"
#include "core/TextHelpers.h"

#include <QFile>
#include <QMutex>
#include <vector>

namespace
{
constexpr int kMaxId = 1999;
int g_lngId = 0;

// Parses one table file: `id<TAB>"text"` with \n (CR LF), \" and \\ escapes.
std::vector<QString> loadTable(int id)
{
    std::vector<QString> t(kMaxId + 1);
    QFile f(QStringLiteral(":/lang/lng_%1.txt").arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return t;
    const QString all = QString::fromUtf8(f.readAll());
    for (const QString &line : all.split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int n = line.left(tab).toInt(&ok);
        if (tab < 0 || !ok || n < 0 || n > kMaxId)
            continue;
        const qsizetype open = line.indexOf(QLatin1Char('"'), tab);
        const qsizetype close = line.lastIndexOf(QLatin1Char('"'));
        if (open < 0 || close <= open)
            continue;
        QString text;
        for (qsizetype i = open + 1; i < close; ++i) {
            QChar c = line[i];
            if (c == QLatin1Char('\\') && i + 1 < close) {
                const QChar e = line[++i];
                if (e == QLatin1Char('n'))
                    text += QLatin1String("\r\n");
                else
                    text += e;
                continue;
            }
            text += c;
        }
        t[n] = text;
    }
    return t;
}

const std::vector<QString> &table(int id)
{
    static QMutex mutex;
    static std::vector<QString> tables[11];
    static bool loaded[11] = {};
    QMutexLocker lock(&mutex);
    if (!loaded[id]) {
        tables[id] = loadTable(id);
        loaded[id] = true;
    }
    return tables[id];
}

} // namespace

int LngId()
{
    return g_lngId;
}
void SetLngId(int id)
{
    g_lngId = id;
}

namespace
{
// In the order of the language ids 1..10.
const std::pair<QLocale::Language, QLocale::Territory> kLocales[] = {
    {QLocale::German, QLocale::Germany},    {QLocale::English, QLocale::UnitedKingdom},
    {QLocale::Italian, QLocale::Italy},     {QLocale::French, QLocale::France},
    {QLocale::Spanish, QLocale::Spain},     {QLocale::Portuguese, QLocale::Portugal},
    {QLocale::Dutch, QLocale::Netherlands}, {QLocale::Croatian, QLocale::Croatia},
    {QLocale::Romanian, QLocale::Romania},  {QLocale::Polish, QLocale::Poland}};
} // namespace

int LanguageOfLocale(const QLocale &locale)
{
    for (int id = 1; id <= 10; ++id)
        if (kLocales[id - 1].first == locale.language())
            return id;
    return 2;
}

QLocale LanguageLocale(int lngId, const QLocale &system)
{
    if (lngId < 1 || lngId > 10)
        return system;
    const auto [language, territory] = kLocales[lngId - 1];
    // By its name: the system's numbers may follow another category
    // (LC_NUMERIC) than its language.
    if (system.language() == language)
        return QLocale(system.name());
    return QLocale(language, territory);
}

QLocale LngLocale()
{
    return LanguageLocale(LngId());
}

bool LngInit(const QStringList &words, const Settings &settings, const std::function<int()> &choose,
             const QLocale &system)
{
    const QString cl = words.join(QLatin1Char(' '));
    const qsizetype at = cl.indexOf(QLatin1String("LNGID="));
    if (at >= 0) {
        qsizetype i = at + 6, j = i;
        while (j < cl.size() && cl[j].isDigit() && cl[j].unicode() < 128)
            ++j;
        const int n = qint16(cl.mid(i, j - i).toInt());
        if (n != 0) {
            g_lngId = n;
            return LngTableExists(n);
        }
    }
    // The language is always the local installation's, also in client mode.
    const QString raw = settings.read(Cfg::LngId, QString());
    const int stored = raw.isEmpty() ? LanguageOfLocale(system) : int(ToLongOrZero(raw));
    g_lngId = stored == 0 ? (choose ? choose() : 0) : stored;
    return LngTableExists(g_lngId);
}

QString Texts::text(int id) const
{
    if (lngId_ < 1 || lngId_ > 10 || id < 0 || id > kMaxId)
        return {};
    return table(lngId_)[size_t(id)];
}

QStringList Texts::lines(int id) const
{
    return text(id).split(QLatin1String("\r\n"));
}

QLocale Texts::locale() const
{
    return LanguageLocale(lngId_);
}

Texts CurrentTexts()
{
    return Texts(g_lngId);
}

QString LngText(int id)
{
    return Texts(g_lngId).text(id);
}

QStringList LngLines(int id)
{
    return Texts(g_lngId).lines(id);
}

QString DeviceName()
{
    return LngText(45);
}

QList<LanguageEntry> LanguageList()
{
    // Each language in its own name: a user who cannot read the current
    // language still finds their own.
    return {{QStringLiteral("Deutsch"), 1}, {QStringLiteral("Italiano"), 3}, {QStringLiteral("English"), 2},
            {QStringLiteral("Español"), 5}, {QStringLiteral("Français"), 4}, {QStringLiteral("Português"), 6},
            {QStringLiteral("Vlaams"), 7},  {QStringLiteral("Hrvatski"), 8}, {QStringLiteral("Română"), 9},
            {QStringLiteral("Polski"), 10}};
}

bool LngTableExists(int id)
{
    return id >= 1 && id <= 10 && QFile::exists(QStringLiteral(":/lang/lng_%1.txt").arg(id));
}
