#pragma once
#include "Clock.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

enum class MsgIcon { None, Stop, Exclamation, Information, Question };
enum class MsgButtons { Ok, YesNo, OkCancel }; // questions default to No / Cancel
enum class MsgResult { Ok, Yes, No, Cancel };
// Who a status text comes from.
enum class NoticeTopic { Link, Alarm, Mail, Mqtt, Web, Consumption, History };

// What the logic asks of the user-interface toolkit, and the one receiver of
// what the user is told: boxes, and status texts by topic, which it places
// (panel 1 shows the newest; each topic's last text stays readable). Boxes
// never block the caller: it continues in the completion (`done`, which an
// implementation may call before messageBox returns), or announces the box
// and carries on. Three implementations: the Qt widgets one (src/ui),
// HeadlessUi (prints, answers with the default button at once) and
// ScriptedUi (tests).
class UiServices : public QObject
{
    Q_OBJECT
public:
    using MsgDone = std::function<void(MsgResult)>;
    using InputDone = std::function<void(const QString &)>;

    // An empty title means the program title.
    virtual void messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                            MsgDone done = {}) = 0;
    // done gets the typed text, empty when cancelled.
    virtual void inputBox(const QString &prompt, const QString &title, const QString &def,
                          InputDone done) = 0;
    // An input box whose text is not shown as typed (a password).
    virtual void passwordBox(const QString &prompt, const QString &title, InputDone done)
    {
        inputBox(prompt, title, QString(), std::move(done));
    }
    virtual void beep() = 0;
    // Panels 1..3 of the status bar; the main window listens to panelTextChanged.
    virtual void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    // A status text of topic, shown in panel 1. Empty: the topic has nothing
    // more to say, and panel 1 is emptied when it shows the topic's text.
    void status(NoticeTopic topic, const QString &text);
    // The topic's last status text.
    QString status(NoticeTopic topic) const { return statuses_.value(int(topic)); }
    // Hourglass on/off.
    virtual void setWaitCursor(bool /*on*/) {}

    // The default answer of a box: No or Cancel for questions, else OK.
    static MsgResult defaultAnswer(MsgButtons buttons)
    {
        switch (buttons) {
        case MsgButtons::YesNo:
            return MsgResult::No;
        case MsgButtons::OkCancel:
            return MsgResult::Cancel;
        case MsgButtons::Ok:
            break;
        }
        return MsgResult::Ok;
    }

signals:
    void panelTextChanged(int panel, const QString &text);
    void statusChanged(NoticeTopic topic, const QString &text);

private:
    QString panels_[4];
    QMap<int, QString> statuses_;
    int panelOneTopic_ = -1; // whose text panel 1 shows; -1 when written directly
};

// Without a screen: every box is one line on stdout, beginning with its kind
// ("[stop]", "[warning]", "[info]", "[question]", "[input]", "[panel 1]"),
// and is answered with its default button at once. A panel text that differs
// from the last one printed only in its leading reception time is printed
// again only after kPanelRepeatSecs, so a busy link does not flood the journal.
class HeadlessUi : public UiServices
{
    Q_OBJECT
public:
    static constexpr qint64 kPanelRepeatSecs = 600;
    explicit HeadlessUi(ClockFn clock = SystemClock()) : clock_(std::move(clock)) {}
    void messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                    MsgDone done = {}) override;
    void inputBox(const QString &prompt, const QString &title, const QString &def, InputDone done) override;
    void beep() override {}
    void setPanelText(int panel, const QString &text) override;

private:
    ClockFn clock_;
    QString printedKey_[4];
    QDateTime printedAt_[4];
};

// The part of a panel text that tells something: without a leading
// "date time " stamp (the reception lines start with one).
QString PanelTextKey(const QString &text);

// Answers every box with its default button and shows nothing (benchmarks).
class QuietUi : public UiServices
{
    Q_OBJECT
public:
    void messageBox(const QString &, const QString &, MsgIcon, MsgButtons b, MsgDone done = {}) override
    {
        if (done)
            done(defaultAnswer(b));
    }
    void inputBox(const QString &, const QString &, const QString &, InputDone done) override
    {
        if (done)
            done(QString());
    }
    void beep() override {}
};

// Tests: records what was shown and answers from the queues at once (else
// with the default), or, with holdBoxes set, keeps each box open until the
// test answers it with answerOpenBox.
class ScriptedUi : public UiServices
{
    Q_OBJECT
public:
    struct Shown {
        QString kind; // "message", "input", "beep"
        QString text, title;
        MsgIcon icon = MsgIcon::None;
    };
    std::deque<MsgResult> answers; // next answers to message boxes
    std::deque<QString> inputs;    // next answers to input boxes
    bool holdBoxes = false;
    QList<Shown> shown;
    QList<bool> cursor; // the wait cursor as it was switched

    void messageBox(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                    MsgDone done = {}) override;
    void inputBox(const QString &prompt, const QString &title, const QString &def, InputDone done) override;
    void beep() override;
    void setWaitCursor(bool on) override { cursor << on; }

    int openBoxes() const { return int(open_.size()); }
    // Closes the oldest open box: a message box with answer, an input box with text.
    void answerOpenBox(MsgResult answer = MsgResult::Ok, const QString &text = {});

    int count(const QString &kind) const;
    QStringList texts(const QString &kind = QStringLiteral("message")) const;

private:
    struct Open {
        MsgDone msgDone;
        InputDone inputDone;
    };
    std::deque<Open> open_;
};
