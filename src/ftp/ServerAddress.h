#pragma once

#include <QString>

// The server field as the user types it: "host", "host:port", "[IPv6]" or
// "[IPv6]:port"; an IPv6 address without brackets has no port. A port that is
// no number from 1 to 65535 leaves the whole text as the host, which then fails
// to resolve rather than reaching some other port.
struct ServerAddress
{
    QString host; // an IPv6 address without its brackets
    quint16 port = 21;

    static ServerAddress parse(const QString &text);
    // "host:port", "[IPv6]:port": how the trusted certificates name the server.
    QString key() const;
};
