#include "common/PyftpdlibPeer.h"

#include <QFileInfo>

bool PyftpdlibPeer::start(const QString &root, const Options &options)
{
    const QString script = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/common/PyftpdlibPeer.py");
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo::exists(script) || !QFileInfo::exists(python)) {
        m_error = QStringLiteral("pyftpdlib peer needs %1 and %2").arg(python, script);
        return false;
    }
    m_host = options.host;
    m_port = PeerProcess::freePort(m_host);
    QStringList arguments { script, QStringLiteral("--host"), m_host, QStringLiteral("--port"), QString::number(m_port),
        QStringLiteral("--root"), root };
    if (!options.user.isEmpty())
        arguments << QStringLiteral("--user") << options.user << QStringLiteral("--password") << options.password;
    if (!options.mlsd)
        arguments << QStringLiteral("--no-mlsd");
    return m_peer.start(python, arguments, m_host, m_port);
}

QString PyftpdlibPeer::address() const
{
    return m_host + u':' + QString::number(m_port);
}
