#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>

enum class MsgIcon { None, Stop, Exclamation, Information, Question };
enum class MsgButtons { Ok, YesNo }; // Yes/No questions default to No
enum class MsgResult { Ok, Yes, No };

// What the program asks of the user-interface toolkit. Three implementations:
// the Qt widgets one (src/ui), HeadlessUi (prints, answers with the default
// button) and ScriptedUi (tests queue answers and read what was shown).
// Message and input boxes are modal but keep timers and links running.
class UiServices : public QObject {
    Q_OBJECT
public:
    // An empty title means the program title.
    virtual MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    // Returns the typed text, empty when cancelled.
    virtual QString inputBox(const QString &prompt, const QString &title, const QString &def) = 0;
    virtual void beep() = 0;
    // Panels 1..3 of the status bar; the main window listens to panelText.
    virtual void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    // Hourglass on/off.
    virtual void setWaitCursor(bool /*on*/) {}
    // Runs pending events once.
    virtual void pumpEvents();

signals:
    void panelTextChanged(int panel, const QString &text);

private:
    QString panels_[4];
};

// The installed implementation; HeadlessUi until something else is set.
UiServices &Ui();
void SetUi(UiServices *ui);

class HeadlessUi : public UiServices {
    Q_OBJECT
public:
    MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &def) override;
    void beep() override;
    void setPanelText(int panel, const QString &text) override;
};

// Answers every box with its default button and shows nothing (benchmarks).
class QuietUi : public UiServices {
    Q_OBJECT
public:
    MsgResult messageBox(const QString &, const QString &, MsgIcon, MsgButtons b) override
    {
        return b == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    }
    QString inputBox(const QString &, const QString &, const QString &) override { return {}; }
    void beep() override {}
};

class ScriptedUi : public UiServices {
    Q_OBJECT
public:
    struct Shown {
        QString kind; // "message", "input", "beep"
        QString text, title;
        MsgIcon icon = MsgIcon::None;
    };
    std::deque<MsgResult> answers;    // next answers to message boxes (else the default)
    std::deque<QString> inputs;       // next answers to input boxes (else empty)
    QList<Shown> shown;
    // Called while a box is "open": lets a test deliver events meanwhile.
    std::function<void()> whileOpen;

    MsgResult messageBox(const QString &text, const QString &title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &def) override;
    void beep() override;
    int count(const QString &kind) const;
    QStringList texts(const QString &kind = QStringLiteral("message")) const;
};

// Small operations on the event loop and the millisecond tick.
void PumpEvents();                 // pending events once, then 1 ms sleep
void WaitMs(int ms);               // pump until ms have passed
quint32 TickCount();               // 32-bit millisecond counter, wraps after ~49.7 days
quint32 ElapsedMs(quint32 start);  // now - start modulo 2^32
