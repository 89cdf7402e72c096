#include "common/TinyproxyPeer.h"

#include <QFile>

bool TinyproxyPeer::start()
{
    m_port = PeerProcess::freePort();
    const QString config = m_configDir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral("Port %1\n"
                                        "Listen 127.0.0.1\n"
                                        "Allow 127.0.0.1\n"
                                        "Timeout 60\n"
                                        "MaxClients 50\n"
                                        "LogFile \"%2\"\n"
                                        "LogLevel Info\n")
                             .arg(QString::number(m_port), m_configDir.filePath(QStringLiteral("tinyproxy.log")));
    file.write(text.toUtf8());
    file.close();
    const QString program = PeerProcess::findProgram(QStringLiteral("tinyproxy"));
    if (program.isEmpty())
        return false;
    return m_peer.start(program, {QStringLiteral("-d"), QStringLiteral("-c"), config}, QStringLiteral("127.0.0.1"),
                        m_port);
}

QString TinyproxyPeer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString TinyproxyPeer::log() const
{
    QFile file(m_configDir.filePath(QStringLiteral("tinyproxy.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
