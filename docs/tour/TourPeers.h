#pragma once

#include "common/PeerProcess.h"
#include "common/PyftpdlibPeer.h"

#include <QString>
#include <QTemporaryDir>

// What the tour shows and the peers that serve it, on free loopback ports and
// in a temporary directory of its own: a small travel site and a large file
// served slowly enough to be caught in the middle (docs/tour/slow_site.py), an
// FTP server (pyftpdlib) and a directory for Torvex's own HTTP server.
class TourPeers
{
public:
    // sourceDir is the top of the source tree, where the peers' scripts are.
    bool start(const QString &sourceDir);
    void stop();
    QString errorText() const { return m_error; }

    QString siteUrl() const;
    QString downloadUrl() const;
    QString downloadName() const;
    qint64 downloadSize() const;
    QString ftpAddress() const { return m_ftp.address(); }
    QString servedDirectory() const;

private:
    bool startSlowSite(PeerProcess &peer, quint16 &port, const QString &root, int bytesPerSecond);

    QString m_sourceDir;
    QTemporaryDir m_data;
    PeerProcess m_site;
    PeerProcess m_downloads;
    PyftpdlibPeer m_ftp;
    quint16 m_sitePort = 0;
    quint16 m_downloadsPort = 0;
    QString m_error;
};
