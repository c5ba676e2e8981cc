#include "PortDirectory.h"

#include "lang/Lng.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace
{
int kindRank(const QString &name)
{
    static const char *kinds[] = {"ttyS", "ttyUSB", "ttyACM", "rfcomm"};
    for (int k = 0; k < 4; ++k) {
        const QString prefix = QString::fromLatin1(kinds[k]);
        if (name.startsWith(prefix) && name.size() > prefix.size() && name[prefix.size()].isDigit())
            return k;
    }
    return 4;
}

int trailingNumber(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch m = re.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}
} // namespace

QList<PortInfo> PortDirectory::Numbered(QList<PortInfo> ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const PortInfo &a, const PortInfo &b) {
        const int ka = kindRank(a.name), kb = kindRank(b.name);
        if (ka != kb)
            return ka < kb;
        const int na = trailingNumber(a.name), nb = trailingNumber(b.name);
        if (na != nb)
            return na < nb;
        return a.name < b.name;
    });
    for (int i = 0; i < ports.size(); ++i)
        ports[i].number = i + 1;
    return ports;
}

QList<PortInfo> PortDirectory::SystemPorts()
{
    QList<PortInfo> out;
    for (const QSerialPortInfo &i : QSerialPortInfo::availablePorts())
        out.append({0, i.systemLocation(), i.portName(), i.description(), i.manufacturer()});
    return out;
}

QString PortDirectory::PortDeviceName(const QList<PortInfo> &ports, int n)
{
    for (const PortInfo &p : ports)
        if (p.number == n)
            return p.device;
    return {};
}

QString PortDirectory::PortFriendlyName(const PortInfo &port, const Texts &texts)
{
    const QString &d = port.name;
    if (d.contains(QLatin1String("WTComSrv"), Qt::CaseInsensitive))
        return QStringLiteral("Com-Server Port");
    if (d.contains(QLatin1String("BthModem"), Qt::CaseInsensitive) ||
        d.startsWith(QLatin1String("rfcomm"), Qt::CaseInsensitive))
        return texts(51);
    if (d.contains(QLatin1String("WCM_USB_SER"), Qt::CaseInsensitive))
        return QStringLiteral("Sierra Wireless Device");
    const QString desc = port.description.trimmed();
    const QString maker = port.manufacturer.trimmed();
    if (maker.isEmpty() || desc.contains(maker, Qt::CaseInsensitive))
        return desc;
    if (desc.isEmpty())
        return maker;
    return maker + QLatin1Char(' ') + desc;
}

QString PortDirectory::EntryText(const PortInfo &port, const Texts &texts)
{
    // "COM 1 (ttyS0)", "COM 3 (ttyUSB0: Prolific ...)": no blanks for a name the port lacks.
    const QString friendly = PortFriendlyName(port, texts).trimmed();
    QString inner = port.name.trimmed();
    if (!friendly.isEmpty())
        inner += (inner.isEmpty() ? QString() : QStringLiteral(": ")) + friendly;
    return QStringLiteral("COM ") + QString::number(port.number) +
           (inner.isEmpty() ? QString() : QStringLiteral(" (") + inner + QLatin1Char(')'));
}
