#pragma once

#include <QString>

// The state of the link that carries the default route.
struct NetworkLink
{
    bool hasDefaultRoute = false;
    QString interfaceName;
    bool up = false;
    // Mbit/s; 0 when the interface does not tell.
    quint64 speedMbits = 0;

    // Reads proc/net/route (the IPv4 default route of lowest metric) and the
    // interface's sys/class/net/IF/operstate, carrier and speed under root.
    static NetworkLink read(const QString &root);
};
