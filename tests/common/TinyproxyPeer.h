#pragma once

#include "common/PeerProcess.h"

#include <QString>
#include <QTemporaryDir>

// tinyproxy as a real HTTP proxy on a free loopback port, admitting only
// 127.0.0.1, logging every request it forwards.
class TinyproxyPeer
{
public:
    bool start();
    void stop() { m_peer.stop(); }

    quint16 port() const { return m_port; }
    // "127.0.0.1:port", the form the tools take a proxy in.
    QString address() const;
    QString errorText() const { return m_peer.errorText(); }
    QString log() const;

private:
    PeerProcess m_peer;
    QTemporaryDir m_configDir;
    quint16 m_port = 0;
};
