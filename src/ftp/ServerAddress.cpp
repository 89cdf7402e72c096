#include "ftp/ServerAddress.h"

namespace {

bool readPort(QStringView text, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

ServerAddress ServerAddress::parse(const QString &text)
{
    ServerAddress address { text, 21 };
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return address;
        const QStringView rest = QStringView(text).sliced(close + 1);
        quint16 port = 21;
        if (rest.isEmpty() || (rest.startsWith(u':') && readPort(rest.sliced(1), &port)))
            address = { text.mid(1, close - 1), port };
        return address;
    }
    const qsizetype colon = text.indexOf(u':');
    if (colon > 0 && text.lastIndexOf(u':') == colon && readPort(QStringView(text).sliced(colon + 1), &address.port))
        address.host = text.left(colon);
    return address;
}

QString ServerAddress::key() const
{
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(port);
}
