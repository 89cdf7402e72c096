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
    m_port = options.port ? options.port : PeerProcess::freePort(m_host);
    QStringList arguments { script, QStringLiteral("--host"), m_host, QStringLiteral("--port"), QString::number(m_port),
        QStringLiteral("--root"), root };
    if (!options.user.isEmpty())
        arguments << QStringLiteral("--user") << options.user << QStringLiteral("--password") << options.password;
    if (!options.mlsd)
        arguments << QStringLiteral("--no-mlsd");
    if (!options.certificate.isEmpty())
        arguments << QStringLiteral("--certificate") << options.certificate << QStringLiteral("--key") << options.key;
    if (options.throttle > 0)
        arguments << QStringLiteral("--throttle") << QString::number(options.throttle);
    if (!options.log.isEmpty())
        arguments << QStringLiteral("--log") << options.log;
    return m_peer.start(python, arguments, m_host, m_port);
}

void PyftpdlibPeer::kill()
{
    m_peer.process().kill();
    m_peer.process().waitForFinished(3000);
}

QString PyftpdlibPeer::address() const
{
    const QString host = m_host.contains(u':') ? u'[' + m_host + u']' : m_host;
    return host + u':' + QString::number(m_port);
}

bool PyftpdlibPeer::makeCertificate(const QString &certificate, const QString &key, QString *error)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
            QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
            QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
            QStringLiteral("-out"), certificate });
    if (openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0)
        return true;
    *error = QStringLiteral("openssl could not make a certificate: ") + QString::fromLocal8Bit(openssl.readAll())
        + openssl.errorString();
    return false;
}
