#pragma once
#include <QGroupBox>

struct DeviceRecord;
class QLabel;
class TankPicture;

// The small entry of one device on an overview tab (FrameTank(n) with its
// labels and the mini tank).
class OverviewEntry : public QGroupBox {
    Q_OBJECT
public:
    OverviewEntry(int device, const QString &caption, QWidget *parent = nullptr);
    int device() const { return device_; }

    // ShowDevice: the entry for rec as of now.
    void showDevice(const DeviceRecord &rec, bool tempKorr, const QDateTime &now);

private:
    // Object names as the members ("TankShape" for tank).
    QLabel *lblTankbezeichnung;
    QLabel *txbxLiter;
    QLabel *lblProzent;
    QLabel *lblTemp;
    QLabel *lblDate;
    QLabel *lblAlarm;
    TankPicture *tank; // outline and contents shape
    int device_;
};
