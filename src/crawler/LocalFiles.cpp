#include "crawler/LocalFiles.h"

#include <QFileInfo>
#include <QLocale>

namespace {

const QString TimeFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss");

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
    const QFileInfo info(row.path);
    const qint64 bytes = info.isFile() ? info.size() : -1;
    if (row.bytes > 0)
        m_total -= row.bytes;
    row.bytes = bytes;
    if (bytes < 0) {
        row.icon = missingIcon;
    } else {
        m_total += bytes;
        row.icon = bytes == 0 ? emptyIcon : fullIcon;
        row.size = sizeText(bytes);
        row.time = info.lastModified().toString(TimeFormat);
    }
    return row.icon != before.icon || row.size != before.size || row.time != before.time;
}
