#pragma once

#include "common/PeerProcess.h"

#include <QString>

// pyftpdlib serving one directory on a loopback port to the anonymous user and,
// when given, to a user with a password (the server script is PyftpdlibPeer.py
// beside this file, run with /usr/bin/python3).
class PyftpdlibPeer
{
public:
    struct Options
    {
        QString user {}; // empty: anonymous only
        QString password {};
        bool mlsd = true; // false: the server knows only LIST
        QString host = QStringLiteral("127.0.0.1");
        quint16 port = 0; // 0: a free one
        QString certificate {}; // with key: explicit TLS on this certificate (PEM files)
        QString key {};
        qint64 throttle = 0; // bytes a second a file is sent at; 0: no limit
        QString log {}; // a file for every command and answer
    };

    bool start(const QString &root, const Options &options);
    bool start(const QString &root) { return start(root, Options()); }
    void stop() { m_peer.stop(); }
    // Ends the server at once, as a crash would, mid-transfer or not.
    void kill();

    quint16 port() const { return m_port; }
    QString host() const { return m_host; }
    // "host:port" ("[host]:port" for IPv6), as typed into a server field.
    QString address() const;
    QString errorText() const { return m_error.isEmpty() ? m_peer.errorText() : m_error; }

    // A new self-signed certificate for 127.0.0.1 and its key, made with openssl.
    static bool makeCertificate(const QString &certificate, const QString &key, QString *error);

private:
    PeerProcess m_peer;
    QString m_host;
    quint16 m_port = 0;
    QString m_error;
};
