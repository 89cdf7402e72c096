#include "FaultSite.h"

using namespace Qt::StringLiterals;

bool FaultSite::start()
{
    port = PeerProcess::freePort();
    const QString script = qEnvironmentVariable("TORVEX_SOURCE_DIR") + u"/tests/crawler/fault_site.py"_s;
    return peer.start(u"/usr/bin/python3"_s, { script, u"127.0.0.1"_s, QString::number(port) }, u"127.0.0.1"_s, port);
}

QString FaultSite::url(const QString &path) const
{
    return u"http://127.0.0.1:%1/"_s.arg(port) + path;
}

int FaultSite::requests(const QString &path)
{
    m_seen += peer.output();
    return int(m_seen.count(QByteArray("GET /" + path.toUtf8() + '\n')));
}
