#include "platform/system/NetworkLink.h"

#include "platform/system/SystemRoot.h"

#include <QByteArrayList>

#include <optional>

namespace {

constexpr uint RouteUp = 0x0001;

struct Route
{
    QString interfaceName;
    qint64 metric = 0;
};

std::optional<Route> defaultRoute(const QString &root)
{
    const QByteArray table = SystemRoot::readFile(SystemRoot::under(root, QStringLiteral("/proc/net/route")));
    std::optional<Route> best;
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ...; the first line names the columns.
    const QByteArrayList lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayList fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 8 || fields.at(1) != "00000000" || fields.at(7) != "00000000")
            continue;
        bool ok = false;
        const uint flags = fields.at(3).toUInt(&ok, 16);
        if (!ok || !(flags & RouteUp))
            continue;
        const qint64 metric = fields.at(6).toLongLong();
        if (!best || metric < best->metric)
            best = Route { QString::fromUtf8(fields.at(0)), metric };
    }
    return best;
}

} // namespace

NetworkLink NetworkLink::read(const QString &root)
{
    NetworkLink link;
    const std::optional<Route> route = defaultRoute(root);
    if (!route)
        return link;
    link.hasDefaultRoute = true;
    link.interfaceName = route->interfaceName;
    const QString device = SystemRoot::under(root, QStringLiteral("/sys/class/net/")) + route->interfaceName;
    const QString state = SystemRoot::readFirstLine(device + u"/operstate");
    // Point-to-point links (ppp, tun) report their state as "unknown"; their
    // carrier tells whether they pass traffic.
    link.up = state == u"up" || (state == u"unknown" && SystemRoot::readFirstLine(device + u"/carrier") == u"1");
    if (link.up) {
        bool ok = false;
        const qint64 speed = SystemRoot::readFirstLine(device + u"/speed").toLongLong(&ok);
        link.speedMbits = ok && speed > 0 ? quint64(speed) : 0;
    }
    return link;
}
