#include "common/FaultServerPeer.h"

#include <QTcpSocket>

namespace {

QString commonDir()
{
    return qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/common");
}

} // namespace

bool FaultServerPeer::start(const QString &host)
{
    m_scheme = QStringLiteral("http");
    return launch(host, {});
}

bool FaultServerPeer::startTls(const QString &host)
{
    m_scheme = QStringLiteral("https");
    return launch(host, { commonDir() + QStringLiteral("/tls/loopback.pem") });
}

QString FaultServerPeer::caFile()
{
    return commonDir() + QStringLiteral("/tls/loopback-ca.pem");
}

bool FaultServerPeer::launch(const QString &host, const QStringList &extra)
{
    m_host = host;
    m_port = PeerProcess::freePort(host);
    const QString script = commonDir() + QStringLiteral("/fault_server.py");
    return m_peer.start(QStringLiteral("/usr/bin/python3"),
        QStringList { script, QString::number(m_port), host } + extra, host, m_port);
}

QString FaultServerPeer::url(const QString &path) const
{
    return QStringLiteral("%1://%2:%3%4").arg(m_scheme, m_host, QString::number(m_port), path);
}

int FaultServerPeer::requestCount(const QString &name) const
{
    QTcpSocket socket;
    socket.connectToHost(m_host, m_port);
    if (!socket.waitForConnected(3000))
        return -1;
    socket.write("GET /count/" + name.toUtf8() + " HTTP/1.0\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype body = answer.indexOf("\r\n\r\n");
    return body < 0 ? -1 : answer.mid(body + 4).toInt();
}
