#pragma once
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The notification rules of one tank as a pure evaluation: the tank's rule
// state, its reading, the settings in force and "now" go in; the new state,
// the messages to send and what else the caller has to do come out. The
// caller (EmailNotifier) reads and writes the state in section "E-Mail" and
// sends the messages one after another; nothing here touches a file.

// The rule state of one tank (keys + tank number in section "E-Mail") and
// the time of the last e-mail of any tank ("LetzteEmail").
struct TankRuleState {
    double minProzent = 100;          // "MinProzent"
    std::optional<qint32> minVolumen; // "MinVolumen"; none while absent
    double deltaProzentBetankung = 2; // "DeltaProzentBetankung"
    bool betankungsfall = false;      // "Betankungsfall" = 1
    QDateTime betankungEnde;          // "BetankungEnde"; ZeroDateTime() while absent
    double betankungMax = 0;          // "BetankungMax"
    double melderasterLast = 100;     // "MelderasterLast"
    QDateTime letzteEmail;            // "LetzteEmail"; ZeroDateTime() while absent

    // The keys an evaluation wrote, in the order they are stored.
    enum Field {
        MinProzentField = 1,
        MinVolumenField = 2,
        BetankungsfallField = 4,
        BetankungEndeField = 8,
        BetankungMaxField = 16,
    };
};

// What one evaluated telegram says about the tank.
struct RuleReading {
    bool alarm = false;
    bool alarmChanged = false;
    qint32 volumen = 0; // negative: a device error code
    double percent = 0; // fill percentage (FillFraction * 100)
    QDateTime uhrzeit;  // measurement time
};

// The settings the rules use, already checked: every number is one the rules
// can work with (RuleNumber).
struct RuleValues {
    int alarmmode = 2;                 // 0 none, 1 alarm start, 2 start and end
    int schwelle2 = 10;                // threshold in percent; -1 = no item selected
    qint64 abstand1 = 744;             // report interval at or above the threshold, hours
    qint64 abstand2 = 168;             // below the threshold, hours
    double melderaster = 10;           // change in percentage points that triggers a report
    double deltaMinutenBetankung = 10; // minutes, fractions too
    bool simulation = false;           // a refuelling then ends after 1 minute without a rise
    // A message of this tank goes out (function on, tank taking part, a
    // recipient): the rules then take "LetzteEmail" as now after each one,
    // as if it had been sent at once.
    bool mailsGoOut = false;
};

// One message the rules decided on.
struct RuleMessage {
    int reason = 0;
    // Report this content instead of the reading's (the minimum before a refuelling).
    std::optional<qint32> reportedVolumen;
    // Append the history snapshot (with that content) before the message.
    bool snapshot = false;
};

struct RuleOutcome {
    TankRuleState state;
    int written = 0;                  // TankRuleState::Field flags of the keys to store
    QList<RuleMessage> messages;      // in the order they go out
    bool storeReportedLevels = false; // SaveMelderasterLast after the messages
};

RuleOutcome EvaluateEmailRules(const TankRuleState &state, const RuleReading &reading,
                               const RuleValues &values, const QDateTime &now);

// A number of a rule value as stored: "," taken as the decimal point. Text
// that is no number (and, with positiveOnly, a number that is not above 0)
// gives fallback: a hand-edited "x" or 0 must not mail on every telegram.
double RuleNumber(const QString &text, double fallback, bool positiveOnly);
