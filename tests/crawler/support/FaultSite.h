#pragma once

#include "common/PeerProcess.h"

#include <QByteArray>
#include <QString>

// fault_site.py on a free loopback port: a small site whose links fail (404,
// reset, stall), and which prints each request line it takes.
struct FaultSite
{
    PeerProcess peer;
    quint16 port = 0;

    bool start();
    QString url(const QString &path) const;
    // How many GET requests for path the site has taken so far.
    int requests(const QString &path);

private:
    QByteArray m_seen;
};
