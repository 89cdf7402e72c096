#include "ftp/DownloadProgress.h"

namespace {

const QString Kilobytes = QStringLiteral(" Kb");
const QString Rate = QStringLiteral(" k/s");
const QString Gap = QStringLiteral("  ");

QString kilobytes(qint64 bytes)
{
    return QString::number(bytes / 1024);
}

} // namespace

void DownloadProgress::start(const QString &name, qint64 listedSize)
{
    m_name = name;
    m_listedSize = listedSize;
    m_bytes = 0;
    m_size = -1;
    m_startedAt = 0;
    m_started = false;
}

void DownloadProgress::update(qint64 bytes, qint64 size, qint64 startedAt)
{
    if (!m_started) {
        m_started = true;
        m_clock.start();
    }
    m_bytes = bytes;
    m_size = size >= 0 ? size : m_listedSize;
    m_startedAt = startedAt;
}

QString DownloadProgress::text() const
{
    const qint64 elapsed = m_clock.isValid() ? m_clock.elapsed() : 0;
    const qint64 rate = elapsed > 0 ? (m_bytes - m_startedAt) * 1000 / elapsed : 0;
    return text(m_name, m_bytes, m_size, rate);
}

QString DownloadProgress::text(const QString &name, qint64 bytes, qint64 size, qint64 bytesPerSecond)
{
    QString line = name + Gap + kilobytes(bytes);
    if (size > 0) {
        const qint64 percent = qMin<qint64>(100, bytes * 100 / size);
        line += u" / " + kilobytes(size) + Kilobytes + Gap + QString::number(percent) + u'%';
    } else {
        line += Kilobytes;
    }
    return line + Gap + kilobytes(bytesPerSecond) + Rate;
}
