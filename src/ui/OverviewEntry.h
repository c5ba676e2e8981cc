#pragma once
#include <QGroupBox>

struct DeviceRecord;
struct TankStatus;
class Texts;
class ElidedLabel;
class QLabel;
class TankPicture;

// The small entry of one device on an overview tab (FrameTank(n) with its
// labels and the mini tank). A click, or Enter or Space while it has the
// focus, asks for the device in the detail view.
class OverviewEntry : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 180;
    // What the entry shows in place of the figures.
    enum class Notice { None, Stale, Fault };

    OverviewEntry(int device, const QString &caption, const Texts &texts, QWidget *parent = nullptr);
    int device() const { return device_; }

    // ShowDevice: the entry for rec as of now.
    void showDevice(const DeviceRecord &rec, bool tempKorr, const QDateTime &now);

    // The tank's state as a badge under the name (hidden while ok).
    void showState(const TankStatus &s, const Texts &t);

    // Days until empty; empty text: none (the line keeps its room).
    void setForecastText(const QString &text);

    Notice notice() const { return notice_; }

signals:
    void clicked(int device);

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void setNotice(Notice n);

    const Texts &texts_; // the run's

    // Object names as the members ("TankShape" for tank).
    ElidedLabel *lblTankbezeichnung;
    QLabel *txbxLiter;
    QLabel *lblProzent;
    QLabel *lblTemp;
    QLabel *lblDate;
    QLabel *lblAlarm;
    QLabel *lblZustand;
    QLabel *lblReichweite;
    TankPicture *tank; // outline and contents shape
    int device_;
    Notice notice_ = Notice::None;
};
