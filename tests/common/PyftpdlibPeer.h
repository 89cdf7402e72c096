#pragma once

#include "common/PeerProcess.h"

#include <QString>

// pyftpdlib serving one directory on a free loopback port to the anonymous user
// and, when given, to a user with a password (the server script is
// PyftpdlibPeer.py beside this file, run with /usr/bin/python3).
class PyftpdlibPeer
{
public:
    struct Options
    {
        QString user; // empty: anonymous only
        QString password;
        bool mlsd = true; // false: the server knows only LIST
        QString host = QStringLiteral("127.0.0.1");
    };

    bool start(const QString &root, const Options &options);
    bool start(const QString &root) { return start(root, Options()); }
    void stop() { m_peer.stop(); }

    quint16 port() const { return m_port; }
    QString host() const { return m_host; }
    // "host:port", as typed into a server field.
    QString address() const;
    QString errorText() const { return m_error.isEmpty() ? m_peer.errorText() : m_error; }

private:
    PeerProcess m_peer;
    QString m_host;
    quint16 m_port = 0;
    QString m_error;
};
