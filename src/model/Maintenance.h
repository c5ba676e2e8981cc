#pragma once
#include "core/Clock.h"

#include <QString>
#include <functional>

class TankController;
class UiServices;
class RunSwitches;
class Texts;

// The two menu commands that remove data: a range of tanks, or the whole
// configuration. Both ask through boxes and go on when they are answered;
// both end with a request the application carries out (a restart, or ending
// at once without saving).
class Maintenance
{
public:
    Maintenance(TankController &tanks, const RunSwitches &switches, UiServices &ui, const Texts &texts,
                ClockFn clock);

    // Asks for the first and last tank (title: the menu command's caption),
    // removes them, moves the tanks behind forward (tank files included, see
    // MoveTankFiles), saves the registry and calls restart. A beep and nothing
    // else for an invalid answer, and in client mode (the serving installation's
    // tanks are not ours to delete).
    void DeleteTanks(const QString &title, std::function<void()> restart);
    // Asks, deletes the settings file, its copy in the log folder and on request
    // the tank files, tells the user and calls endNow. From the first "Yes" on no
    // telegram is evaluated and nothing writes the settings file again.
    void DeleteConfiguration(std::function<void()> endNow);

    // The tank number a typed answer gives: "," counts as ".", the leading number
    // rounded half to even ("2.5" is 2), 0 when there is none.
    static int TankNumberAnswer(const QString &answer);
    // Renames the tank files in folder after tanks first..last of count were
    // removed: the removed tanks' files are kept aside under "deleted_TankN_<stamp>.csv",
    // the files of the tanks behind take their new numbers. Returns false when a
    // rename failed (the remaining files are then left as they are).
    static bool MoveTankFiles(const QString &folder, int first, int last, int count, const QString &stamp);

private:
    void removeRange(int first, int last, const std::function<void()> &restart);

    TankController &tanks_;
    const RunSwitches &switches_;
    UiServices &ui_;
    const Texts &texts_; // outlives this object
    ClockFn clock_;
};
