#include "common/LighttpdPeer.h"

#include <QFile>

bool LighttpdPeer::start(const QString &documentRoot, const QString &host)
{
    m_host = host;
    m_port = PeerProcess::freePort(host);
    const QString config = m_configDir.filePath(QStringLiteral("lighttpd.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString text
        = QStringLiteral("server.document-root = \"%1\"\n"
                         "server.bind = \"%2\"\n"
                         "server.port = %3\n"
                         "server.modules = (\"mod_accesslog\")\n"
                         "accesslog.filename = \"%4\"\n"
                         "server.errorlog = \"%5\"\n"
                         "server.max-keep-alive-requests = 1000\n"
                         "server.max-connections = 1024\n"
                         "index-file.names = (\"index.html\", \"index.htm\")\n"
                         "mimetype.assign = (\".html\" => \"text/html\", \".htm\" => \"text/html\", "
                         "\".gif\" => \"image/gif\", \".jpg\" => \"image/jpeg\", "
                         "\".png\" => \"image/png\", \".css\" => \"text/css\", \".ttf\" => \"font/ttf\", "
                         "\"\" => \"application/octet-stream\")\n")
              .arg(documentRoot, host, QString::number(m_port), m_configDir.filePath(QStringLiteral("access.log")),
                  m_configDir.filePath(QStringLiteral("error.log")));
    file.write(text.toUtf8());
    file.close();
    return restart();
}

bool LighttpdPeer::restart()
{
    const QString program = PeerProcess::findProgram(QStringLiteral("lighttpd"));
    if (program.isEmpty())
        return false;
    const QString config = m_configDir.filePath(QStringLiteral("lighttpd.conf"));
    return m_peer.start(program, { QStringLiteral("-D"), QStringLiteral("-f"), config }, m_host, m_port);
}

QString LighttpdPeer::baseUrl() const
{
    return QStringLiteral("http://%1:%2/").arg(m_host, QString::number(m_port));
}

QString LighttpdPeer::accessLog() const
{
    QFile file(m_configDir.filePath(QStringLiteral("access.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
