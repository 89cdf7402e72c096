#include "common/FaultServerPeer.h"

#include <QTcpSocket>

bool FaultServerPeer::start(const QString &host)
{
    m_host = host;
    m_port = PeerProcess::freePort(host);
    const QString script = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/common/fault_server.py");
    return m_peer.start(QStringLiteral("/usr/bin/python3"), {script, QString::number(m_port), host}, host, m_port);
}

QString FaultServerPeer::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2%3").arg(m_host, QString::number(m_port), path);
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
