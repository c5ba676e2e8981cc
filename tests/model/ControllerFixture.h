#pragma once
#include "ModelTestSupport.h"

#include "core/Clock.h"
#include "core/Cp1252.h"
#include "core/IniStore.h"
#include "core/UiServices.h"
#include "lang/Lng.h"
#include "model/TankController.h"

#include <QStringList>

// A controller with scripted boxes, recording hooks, a fixed clock and its
// own data folder; every signal is logged as "name(arg)".
class ControllerTest : public DataDirTest
{
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        SetLngId(1);
        SetUi(&ui);
        Clock::SetOverride([this] { return now; });
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
        QObject::connect(&tanks, &TankController::telegramAccepted,
                         [this] { events << QStringLiteral("telegramAccepted"); });
        QObject::connect(&tanks, &TankController::restoreWindow,
                         [this] { events << QStringLiteral("restoreWindow"); });
        QObject::connect(&tanks, &TankController::tableReset,
                         [this] { events << QStringLiteral("tableReset"); });
    }

    bool feed(const TelegramBytes &t, const QString &source = QString())
    {
        return tanks.EvalTelegramm(t.bytes(), source);
    }
    static TelegramBytes dev(int sn, int type = 5)
    {
        TelegramBytes t;
        t.sn = sn;
        t.type = type;
        return t;
    }
    // The settings file as text (it is Windows-1252 on disk).
    QString iniText() const { return Cp1252::decode(readBytes(iniPath())); }
    QString iniValue(const QString &section, const QString &key) const
    {
        IniFile f;
        f.parse(readBytes(iniPath()));
        return f.value(section, key).value_or(QStringLiteral("<absent>"));
    }

    QDateTime now = Clock::Naive(QDate(2026, 3, 14), QTime(10, 30, 0));
    ScriptedUi ui;
    RecordingHooks hooks;
    TankController tanks;
    QStringList events;
};
