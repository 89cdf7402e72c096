#include "platform/system/SystemRoot.h"

#include <QFile>

namespace SystemRoot {

QString under(const QString &root, const QString &absolute)
{
    QString base = root;
    while (base.endsWith(u'/'))
        base.chop(1);
    if (!absolute.startsWith(u'/'))
        base += u'/';
    return base + absolute;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Files of /proc report a size of 0; readAll() reads them to the end anyway.
    return file.readAll();
}

QString readFirstLine(const QString &path)
{
    const QByteArray bytes = readFile(path);
    const qsizetype end = bytes.indexOf('\n');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end)).trimmed();
}

} // namespace SystemRoot
