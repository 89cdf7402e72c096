#pragma once

#include "common/PeerProcess.h"

#include <QString>

// The project's own misbehaving HTTP server (fault_server.py) on a free loopback
// port: stalls, truncated bodies, resets, error statuses, redirects, drips.
class FaultServerPeer
{
public:
    bool start(const QString &host = QStringLiteral("127.0.0.1"));
    // The same server speaking HTTPS with the loopback certificate of tests/common/tls
    // (for 127.0.0.1 and localhost), which caFile() names for the client to trust.
    bool startTls(const QString &host = QStringLiteral("127.0.0.1"));
    static QString caFile();
    void stop() { m_peer.stop(); }

    // http://host:port + path ("/stall"); https:// for the HTTPS server.
    QString url(const QString &path) const;
    quint16 port() const { return m_port; }
    QString errorText() const { return m_peer.errorText(); }
    // How many requests the plain server saw for the first path segment ("silent").
    int requestCount(const QString &name) const;

private:
    PeerProcess m_peer;
    bool launch(const QString &host, const QStringList &extra);

    QString m_scheme;
    QString m_host;
    quint16 m_port = 0;
};
