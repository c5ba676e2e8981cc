#pragma once
// Fixtures of the folders whose tests link the model. Header only, as the
// support library itself links nothing but the core.
#include "support/Telegrams.h"
#include "support/TestSupport.h"

#include "core/Clock.h"
#include "core/IniStore.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"

// Scripted boxes, a clock the test sets, and the German texts, on top of
// the own data folder.
class UiTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetLngId(1);
    }

    ScriptedUi ui;
    QDateTime now = Clock::Naive(QDate(2026, 3, 14), QTime(10, 30, 0));
    ClockFn clock = [this] { return now; };
    const Texts texts{1};
};

// Hooks that record their calls and can run something inside them (the
// history waits and the e-mail sending let events run in the real program).
struct RecordingHooks : HistoryHooks, EmailHooks {
    QList<int> recorded, loaded, emailed;
    QList<bool> emailAlarmChanged;
    int unloads = 0;
    std::function<void(int)> insideRecord, insideLoad;

    void RecordHistory(int device, const QDateTime &) override
    {
        recorded << device;
        if (insideRecord)
            insideRecord(device);
    }
    void LoadTankHistory(int device) override
    {
        loaded << device;
        if (insideLoad)
            insideLoad(device);
    }
    void EvalEmail(int device, bool alarmChanged) override
    {
        emailed << device;
        emailAlarmChanged << alarmChanged;
    }
    void UnloadForm() override { ++unloads; }
};

// Every field of a record but the history in one line, to compare records whole.
inline QString Fields(const DeviceRecord &r)
{
    return QString::asprintf(
               "SN=%d Typ=%d Temp=%d Vol=%d Einheit=%d Tanktyp=%d Dez=%d Cap=%d H=%d Alarm=%d K=%g", r.SN,
               r.Geraetetyp, r.Temperatur, r.Volumen, r.Einheit, r.Tanktyp, r.DezPunkt, r.Tankvolumen,
               r.Tankhoehe, int(r.Alarm), r.TempKorr) +
           QStringLiteral(" Zeit=%1 Name=%2 IP=%3")
               .arg(r.Uhrzeit.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")), r.Tankbezeichnung, r.ClientIP);
}

// A controller with recording hooks and the test's clock; every signal is
// logged as "name(arg)".
class ControllerTest : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        tanks.setHistoryHooks(&hooks);
        tanks.setEmailHooks(&hooks);
        auto log = [this](const char *name) {
            return
                [this, name](int n) { events << QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(n); };
        };
        QObject::connect(&tanks, &TankController::deviceAdded, log("deviceAdded"));
        QObject::connect(&tanks, &TankController::deviceChanged, log("deviceChanged"));
        QObject::connect(&tanks, &TankController::detailChanged, log("detailChanged"));
        QObject::connect(&tanks, &TankController::selectDevice, log("selectDevice"));
        auto plain = [this](const char *name) { return [this, name] { events << QLatin1String(name); }; };
        QObject::connect(&tanks, &TankController::telegramAccepted, plain("telegramAccepted"));
        QObject::connect(&tanks, &TankController::restoreWindow, plain("restoreWindow"));
        QObject::connect(&tanks, &TankController::tableReset, plain("tableReset"));
    }

    bool feed(const Telegram &t, const QString &source = QString())
    {
        return tanks.EvalTelegramm(t.bytes(), source);
    }
    bool feed(int sn, const QString &source = QString()) { return feed(Telegram{.sn = sn}, source); }
    // A value as it stands in the settings file now (not from the store's cache).
    QString ini(const QString &section, const QString &key) const
    {
        IniFile f;
        f.parse(readBytes(iniPath()));
        return f.value(section, key).value_or(QStringLiteral("<absent>"));
    }
    // Several of them at once, each given as "section/key".
    QStringList ini(std::initializer_list<const char *> keys) const
    {
        QStringList out;
        for (const char *k : keys)
            out << ini(QString::fromUtf8(k).section('/', 0, 0), QString::fromUtf8(k).section('/', 1));
        return out;
    }

    RecordingHooks hooks;
    TankController tanks{switches, settings, ui, texts, clock};
    QStringList events;
};
