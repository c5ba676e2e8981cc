#pragma once
#include <QList>
#include <QString>
#include <functional>

class Texts;

// A serial port present on this machine.
struct PortInfo {
    int number = 0;      // n of "COM n": position in the stable order, from 1
    QString device;      // path to open: /dev/ttyUSB0
    QString name;        // device name shown in the list: ttyUSB0
    QString description; // what the system says about it (USB product text)
    QString manufacturer;
};

// Port numbers on Linux: the ports present are put in a stable order (ttyS,
// then ttyUSB, ttyACM, rfcomm, anything else; within a kind by the number in
// the name) and numbered from 1. Port number n is the n-th port of that
// order; the interface dialog also stores the device path, so a port that
// moves in the order is still found.
// Where the ports come from: the system's serial ports, or a test's list.
using PortSource = std::function<QList<PortInfo>()>;

namespace PortDirectory
{
// The serial ports QSerialPortInfo reports, not yet numbered.
QList<PortInfo> SystemPorts();
// Orders and numbers the ports of any source.
QList<PortInfo> Numbered(QList<PortInfo> ports);

// Device path of port n among ports, empty when there is none.
QString PortDeviceName(const QList<PortInfo> &ports, int n);
// The display name: fixed names for a few device kinds (text 51 for a
// Bluetooth serial link), else the system's description and manufacturer.
QString PortFriendlyName(const PortInfo &port, const Texts &texts);
// "COM " + n + "  (" + device name + "  " + display name + ")"
QString EntryText(const PortInfo &port, const Texts &texts);
} // namespace PortDirectory
