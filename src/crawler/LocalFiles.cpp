#include "crawler/LocalFiles.h"

#include <QFile>
#include <QLocale>

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {

// dd.mm.yyyy hh:mm:ss of the local time. Through localtime_r, which reads the
// time zone once: QDateTime's conversion reads it again for every file, and a
// crawl looks at thousands.
QString localTimeText(time_t when)
{
    struct tm local
    {
    };
    if (!localtime_r(&when, &local))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
        local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return QString::fromLatin1(text);
}

} // namespace

int LocalFiles::add(const QString &path)
{
    const auto found = m_index.constFind(path);
    if (found != m_index.constEnd())
        return found.value();
    const int index = int(m_rows.size());
    LocalFileRow row;
    row.path = path;
    m_rows.append(row);
    m_index.insert(path, index);
    m_touched.insert(index);
    return index;
}

void LocalFiles::touch(int index)
{
    m_touched.insert(index);
}

void LocalFiles::watch(int index)
{
    m_watched.insert(index);
}

void LocalFiles::unwatch(int index)
{
    m_watched.remove(index);
    m_touched.insert(index);
}

void LocalFiles::markDeleted(int index)
{
    LocalFileRow &row = m_rows[index];
    if (row.bytes > 0)
        m_total -= row.bytes;
    row.bytes = -1;
    row.size.clear();
    row.time.clear();
    row.icon = LocalFileRow::Missing;
    m_touched.remove(index);
    m_watched.remove(index);
}

QList<int> LocalFiles::fetchPass()
{
    QList<int> changed;
    QSet<int> due = m_touched;
    due.unite(m_watched);
    m_touched.clear();
    for (const int index : std::as_const(due)) {
        if (lookUp(index, LocalFileRow::Listed, LocalFileRow::Present, LocalFileRow::Present))
            changed.append(index);
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

void LocalFiles::endPass()
{
    m_touched.clear();
    for (int index = 0; index < m_rows.size(); ++index)
        lookUp(index, LocalFileRow::Missing, LocalFileRow::Empty, LocalFileRow::Listed);
}

void LocalFiles::clear()
{
    m_rows.clear();
    m_index.clear();
    m_touched.clear();
    m_watched.clear();
    m_total = 0;
}

QString LocalFiles::header(int pageCounter, int queueSize, qint64 totalBytes)
{
    return QStringLiteral("Poziv:") + QString::number(pageCounter) + QStringLiteral(" [") + QString::number(queueSize)
        + QStringLiteral("]  Uk.:") + QString::number(totalBytes / 1024) + QStringLiteral(" Kb");
}

QString LocalFiles::sizeText(qint64 bytes)
{
    static const QLocale croatian(QLocale::Croatian, QLocale::Croatia);
    return croatian.toString(bytes);
}

bool LocalFiles::lookUp(int index, int missingIcon, int emptyIcon, int fullIcon)
{
    LocalFileRow &row = m_rows[index];
    const LocalFileRow before = row;
    struct stat info
    {
    };
    const bool found = ::stat(QFile::encodeName(row.path).constData(), &info) == 0 && S_ISREG(info.st_mode);
    const qint64 bytes = found ? qint64(info.st_size) : -1;
    if (row.bytes > 0)
        m_total -= row.bytes;
    row.bytes = bytes;
    if (bytes < 0) {
        row.icon = missingIcon;
    } else {
        m_total += bytes;
        row.icon = bytes == 0 ? emptyIcon : fullIcon;
        row.size = sizeText(bytes);
        row.time = localTimeText(info.st_mtime);
    }
    return row.icon != before.icon || row.size != before.size || row.time != before.time;
}
