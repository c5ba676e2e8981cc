#include "UiServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

namespace {
UiServices *g_ui = nullptr;

const char *iconName(MsgIcon i)
{
    switch (i) {
    case MsgIcon::Stop: return "stop";
    case MsgIcon::Exclamation: return "warning";
    case MsgIcon::Information: return "info";
    case MsgIcon::Question: return "question";
    default: return "message";
    }
}

// Message texts may span lines; the headless log keeps one line per event.
QString oneLine(QString s)
{
    s.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    s.replace(QLatin1Char('\r'), QLatin1String(" | "));
    s.replace(QLatin1Char('\n'), QLatin1String(" | "));
    return s;
}
} // namespace

void UiServices::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > 3)
        return;
    panels_[panel] = text;
    emit panelTextChanged(panel, text);
}

QString UiServices::panelText(int panel) const
{
    return panel >= 1 && panel <= 3 ? panels_[panel] : QString();
}

void UiServices::pumpEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

UiServices &Ui()
{
    if (!g_ui) {
        static HeadlessUi fallback;
        g_ui = &fallback;
    }
    return *g_ui;
}

void SetUi(UiServices *ui) { g_ui = ui; }

MsgResult HeadlessUi::messageBox(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    const MsgResult r = buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    std::printf("[%s] %s%s%s -> %s\n", iconName(icon), qPrintable(oneLine(title)),
                title.isEmpty() ? "" : ": ", qPrintable(oneLine(text)),
                r == MsgResult::No ? "No" : "OK");
    std::fflush(stdout);
    return r;
}

QString HeadlessUi::inputBox(const QString &prompt, const QString &title, const QString &)
{
    std::printf("[input] %s: %s -> (empty)\n", qPrintable(oneLine(title)), qPrintable(oneLine(prompt)));
    std::fflush(stdout);
    return {};
}

void HeadlessUi::beep() {}

void HeadlessUi::setPanelText(int panel, const QString &text)
{
    if (text != panelText(panel)) {
        std::printf("[panel %d] %s\n", panel, qPrintable(oneLine(text)));
        std::fflush(stdout);
    }
    UiServices::setPanelText(panel, text);
}

MsgResult ScriptedUi::messageBox(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons)
{
    shown.append({QStringLiteral("message"), text, title, icon});
    if (whileOpen)
        whileOpen();
    if (!answers.empty()) {
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

QString ScriptedUi::inputBox(const QString &prompt, const QString &title, const QString &def)
{
    shown.append({QStringLiteral("input"), prompt, title, MsgIcon::None});
    Q_UNUSED(def);
    if (whileOpen)
        whileOpen();
    if (!inputs.empty()) {
        const QString r = inputs.front();
        inputs.pop_front();
        return r;
    }
    return {};
}

void ScriptedUi::beep() { shown.append({QStringLiteral("beep"), {}, {}, MsgIcon::None}); }

int ScriptedUi::count(const QString &kind) const
{
    int n = 0;
    for (const Shown &s : shown)
        n += s.kind == kind;
    return n;
}

QStringList ScriptedUi::texts(const QString &kind) const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == kind)
            out << s.text;
    return out;
}

void PumpEvents()
{
    Ui().pumpEvents();
    QThread::msleep(1);
}

quint32 TickCount()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return quint32(t.elapsed());
}

quint32 ElapsedMs(quint32 start) { return TickCount() - start; }

void WaitMs(int ms)
{
    const quint32 start = TickCount();
    while (ElapsedMs(start) <= quint32(ms))
        PumpEvents();
}
