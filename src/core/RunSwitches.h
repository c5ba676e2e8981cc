#pragma once
#include "RunConfig.h"

#include <QObject>
#include <QString>

// The switches that change while the program runs: the client path, the two
// link switches, the temperature correction, the trace file and the log
// settings. The application layer owns the one object of a run; the start-up
// reads them from the settings, the dialogs change them. Every setter emits
// its signal only when the value really changes, and the objects that act on
// a switch (links, trace, recorder) follow the signal or read the value when
// they need it. The values hold from construction on: the defaults until the
// start-up has read the settings. The options are the owner's, which keeps
// them (const) for as long as the switches live.
class RunSwitches : public QObject
{
    Q_OBJECT
public:
    explicit RunSwitches(const RunConfig &options, QObject *parent = nullptr)
        : QObject(parent), options_(options)
    {
    }
    RunSwitches(RunConfig &&, QObject * = nullptr) = delete;

    // The command-line options of this run; they never change.
    const RunConfig &options() const { return options_; }

    // The folder of the serving installation's settings file (client mode).
    QString clientPath() const { return clientPath_; }
    // The serial and the TCP link switched on.
    bool activeCom() const { return activeCom_; }
    bool activeNet() const { return activeNet_; }
    // The temperature correction on.
    bool flagTempKorr() const { return flagTempKorr_; }
    // The trace file; empty: no trace.
    QString tracePath() const { return tracePath_; }
    // The tank files and the settings copy; empty: the data folder.
    QString logFolder() const { return logFolder_; }
    // The tank-file recording ("Logfile") and the settings-file snapshot
    // ("Log INI-File"), each with its interval in seconds.
    bool logFileActive() const { return logFileActive_; }
    qint32 logFileInterval() const { return logFileInterval_; }
    bool logIniActive() const { return logIniActive_; }
    qint32 logIniInterval() const { return logIniInterval_; }

    void setClientPath(const QString &v) { set(clientPath_, v, &RunSwitches::clientPathChanged); }
    void setActiveCom(bool v) { set(activeCom_, v, &RunSwitches::activeComChanged); }
    void setActiveNet(bool v) { set(activeNet_, v, &RunSwitches::activeNetChanged); }
    void setFlagTempKorr(bool v) { set(flagTempKorr_, v, &RunSwitches::flagTempKorrChanged); }
    void setTracePath(const QString &v) { set(tracePath_, v, &RunSwitches::tracePathChanged); }
    void setLogFolder(const QString &v) { set(logFolder_, v, &RunSwitches::logFolderChanged); }
    void setLogFileActive(bool v) { set(logFileActive_, v, &RunSwitches::logFileActiveChanged); }
    void setLogFileInterval(qint32 v) { set(logFileInterval_, v, &RunSwitches::logFileIntervalChanged); }
    void setLogIniActive(bool v) { set(logIniActive_, v, &RunSwitches::logIniActiveChanged); }
    void setLogIniInterval(qint32 v) { set(logIniInterval_, v, &RunSwitches::logIniIntervalChanged); }

    // The file other reads use: the serving installation's in client mode
    // (when a client path is set), else the local one.
    QString SettingsReadPath() const;
    // The folder the tank files are written to (the data folder when no log
    // folder is set), ending in "/".
    QString TankWriteFolder() const;
    // The folder they are read from: the client path in client mode.
    QString TankReadFolder() const;

signals:
    void clientPathChanged(const QString &path);
    void activeComChanged(bool on);
    void activeNetChanged(bool on);
    void flagTempKorrChanged(bool on);
    void tracePathChanged(const QString &path);
    void logFolderChanged(const QString &folder);
    void logFileActiveChanged(bool on);
    void logFileIntervalChanged(qint32 seconds);
    void logIniActiveChanged(bool on);
    void logIniIntervalChanged(qint32 seconds);

private:
    template <typename T> void set(T &field, const T &value, void (RunSwitches::*changed)(T))
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)(field);
    }
    template <typename T> void set(T &field, const T &value, void (RunSwitches::*changed)(const T &))
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)(field);
    }

    const RunConfig &options_;
    QString clientPath_;
    bool activeCom_ = false;
    bool activeNet_ = false;
    bool flagTempKorr_ = false;
    QString tracePath_;
    QString logFolder_;
    bool logFileActive_ = false;
    qint32 logFileInterval_ = 86400;
    bool logIniActive_ = false;
    qint32 logIniInterval_ = 60;
};
