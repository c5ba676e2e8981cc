#include "UiServices.h"

#include <QRegularExpression>
#include <cstdio>

namespace
{
const char *iconName(MsgIcon i)
{
    switch (i) {
    case MsgIcon::Stop:
        return "stop";
    case MsgIcon::Exclamation:
        return "warning";
    case MsgIcon::Information:
        return "info";
    case MsgIcon::Question:
        return "question";
    default:
        return "message";
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
    if (panel == 1)
        panelOneTopic_ = -1;
    emit panelTextChanged(panel, text);
}

void UiServices::status(NoticeTopic topic, const QString &text)
{
    statuses_[int(topic)] = text;
    if (!text.isEmpty() || panelOneTopic_ == int(topic)) {
        setPanelText(1, text);
        panelOneTopic_ = int(topic);
    }
    emit statusChanged(topic, text);
}

QString UiServices::panelText(int panel) const
{
    return panel >= 1 && panel <= 3 ? panels_[panel] : QString();
}

void HeadlessUi::messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                            MsgDone done)
{
    const MsgResult r = defaultAnswer(buttons);
    std::printf("[%s] %s%s%s -> %s\n", iconName(icon), qPrintable(oneLine(title)),
                title.isEmpty() ? "" : ": ", qPrintable(oneLine(text)),
                r == MsgResult::No       ? "No"
                : r == MsgResult::Cancel ? "Cancel"
                                         : "OK");
    std::fflush(stdout);
    if (done)
        done(r);
}

void HeadlessUi::inputBox(const QString &prompt, const QString &title, const QString &, InputDone done)
{
    std::printf("[input] %s: %s -> (empty)\n", qPrintable(oneLine(title)), qPrintable(oneLine(prompt)));
    std::fflush(stdout);
    if (done)
        done(QString());
}

QString PanelTextKey(const QString &text)
{
    // The date's form follows the locale ("07.12.26", "7 Dec 2026"); the
    // time that ends the stamp does not.
    static const QRegularExpression stamp(QStringLiteral("^.{0,24}?\\d{1,2}:\\d\\d:\\d\\d "));
    return QString(text).remove(stamp);
}

void HeadlessUi::setPanelText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 3 && text != panelText(panel)) {
        const QString key = PanelTextKey(text);
        const QDateTime now = clock_();
        if (key != printedKey_[panel] || !printedAt_[panel].isValid() ||
            printedAt_[panel].secsTo(now) >= kPanelRepeatSecs || now < printedAt_[panel]) {
            printedKey_[panel] = key;
            printedAt_[panel] = now;
            std::printf("[panel %d] %s\n", panel, qPrintable(oneLine(text)));
            std::fflush(stdout);
        }
    }
    UiServices::setPanelText(panel, text);
}

void ScriptedUi::messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                            MsgDone done)
{
    shown.append({QStringLiteral("message"), text, title, icon});
    if (holdBoxes) {
        open_.push_back({std::move(done), {}});
        return;
    }
    MsgResult r = defaultAnswer(buttons);
    if (!answers.empty()) {
        r = answers.front();
        answers.pop_front();
    }
    if (done)
        done(r);
}

void ScriptedUi::inputBox(const QString &prompt, const QString &title, const QString &, InputDone done)
{
    shown.append({QStringLiteral("input"), prompt, title, MsgIcon::None});
    if (holdBoxes) {
        open_.push_back({{}, std::move(done)});
        return;
    }
    QString r;
    if (!inputs.empty()) {
        r = inputs.front();
        inputs.pop_front();
    }
    if (done)
        done(r);
}

void ScriptedUi::answerOpenBox(MsgResult answer, const QString &text)
{
    if (open_.empty())
        return;
    Open box = std::move(open_.front());
    open_.pop_front();
    if (box.msgDone)
        box.msgDone(answer);
    if (box.inputDone)
        box.inputDone(text);
}

void ScriptedUi::beep()
{
    shown.append({QStringLiteral("beep"), {}, {}, MsgIcon::None});
}

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
