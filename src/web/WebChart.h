#pragma once
#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <functional>

// Draws a tank's chart as PNG in a child process of the program itself (its
// --export-chart on the data folder), so that the serving process stays free
// of the widget classes the chart is drawn with, and a picture that goes
// wrong takes only the child with it. Bounded: at most kMaxRunning children
// at once, each ended after kTimeoutMs or once it writes more than
// kMaxBytes; the size is limited to kMinSize..kMaxSize.
class WebChartRenderer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxRunning = 2;
    static constexpr int kTimeoutMs = 20000; // below the idle limit of the connection
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
    static constexpr QSize kDefaultSize{1200, 700};
    static constexpr QSize kMinSize{200, 150};
    static constexpr QSize kMaxSize{2400, 1600};

    struct Job {
        int tank = 0;
        int months = 0; // 0: the whole history
        bool percent = false;
        QSize size = kDefaultSize;
    };
    // status: 200 with the PNG, 404 when the tank has no history, 500 when
    // drawing failed.
    using Done = std::function<void(int status, const QByteArray &png)>;

    // program and its first arguments (the data folder); the job's are added.
    WebChartRenderer(QString program, QStringList arguments, QObject *parent = nullptr);
    ~WebChartRenderer() override;

    // Starts the job; false (and done is never called) while kMaxRunning run.
    bool render(const Job &job, Done done);
    int running() const { return running_; }

private:
    QString program_;
    QStringList arguments_;
    int running_ = 0;
};
