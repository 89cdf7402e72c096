#pragma once

#include "common/PeerProcess.h"

#include <QString>
#include <QTemporaryDir>

// lighttpd serving one document root on a free loopback port.
class LighttpdPeer
{
public:
    // Starts lighttpd on host (127.0.0.1 unless told) serving documentRoot.
    bool start(const QString &documentRoot, const QString &host = QStringLiteral("127.0.0.1"));
    void stop() { m_peer.stop(); }
    // Starts the stopped server again on the same port; its access log goes on.
    bool restart();

    quint16 port() const { return m_port; }
    QString host() const { return m_host; }
    // http://host:port/
    QString baseUrl() const;
    QString errorText() const { return m_peer.errorText(); }
    // The access log, one line per request.
    QString accessLog() const;

private:
    PeerProcess m_peer;
    QTemporaryDir m_configDir;
    QString m_host;
    quint16 m_port = 0;
};
