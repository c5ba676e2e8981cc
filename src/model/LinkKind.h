#pragma once
#include <QString>

// The way a telegram came: the serial port, the TCP listener or the
// simulation (None: not by a link, e.g. a test's or a benchmark's own call).
enum class LinkKind { None, Serial, Tcp, Simulation };

// "serial", "tcp", "simulation"; "" for None. The metrics label the
// telegrams by these names.
inline QString LinkKindName(LinkKind k)
{
    switch (k) {
    case LinkKind::Serial:
        return QStringLiteral("serial");
    case LinkKind::Tcp:
        return QStringLiteral("tcp");
    case LinkKind::Simulation:
        return QStringLiteral("simulation");
    case LinkKind::None:
        break;
    }
    return {};
}
