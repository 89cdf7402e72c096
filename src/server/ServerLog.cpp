#include "server/ServerLog.h"

#include "platform/SocketErrors.h"

#include <QDateTime>
#include <QTimer>

#include <utility>

ServerLog::ServerLog(QObject *parent)
    : QObject(parent)
    , m_refreshTimer(new QTimer(this))
{
    qRegisterMetaType<ServerLogUpdate>();
    m_refreshTimer->setSingleShot(true);
    connect(m_refreshTimer, &QTimer::timeout, this, &ServerLog::flush);
}

void ServerLog::log(const QString &status)
{
    logWithoutLimit(status);
    applyLimit();
}

void ServerLog::log(const QString &status, qint64 number)
{
    append({ std::time(nullptr), status, number, {} });
    applyLimit();
}

void ServerLog::logWithoutLimit(const QString &status)
{
    append({ std::time(nullptr), status, -1, {} });
}

void ServerLog::logRequestLine(QByteArrayView line)
{
    // Enough bytes for the row's characters however many bytes each takes.
    append({ std::time(nullptr), {}, -1, line.first(qMin<qsizetype>(line.size(), 4 * StatusWidth)).toByteArray() });
}

void ServerLog::logError(int winsockCode)
{
    logWithoutLimit(SocketErrors::name(winsockCode));
}

void ServerLog::countHit()
{
    ++m_hits;
    scheduleRefresh();
}

void ServerLog::countSent(qint64 bytes)
{
    m_bytesSent += bytes;
    scheduleRefresh();
}

void ServerLog::flush()
{
    m_refreshTimer->stop();
    ServerLogUpdate update;
    update.cleared = std::exchange(m_cleared, false);
    update.rows.reserve(m_entries.size());
    for (const Entry &entry : std::as_const(m_entries))
        update.rows.append({ timeText(entry.time), textOf(entry).left(StatusWidth) });
    m_entries.clear();
    update.hits = m_hits;
    update.bytesSent = m_bytesSent;
    emit updated(update);
}

void ServerLog::append(Entry entry)
{
    m_entries.append(std::move(entry));
    ++m_rowCount;
    scheduleRefresh();
}

void ServerLog::applyLimit()
{
    if (m_rowCount < RowLimit)
        return;
    m_rowCount = 0;
    m_entries.clear();
    m_cleared = true;
}

void ServerLog::scheduleRefresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(m_refreshInterval);
}

QString ServerLog::textOf(const Entry &entry) const
{
    if (entry.number >= 0)
        return entry.status + QString::number(entry.number);
    if (!entry.status.isEmpty())
        return entry.status;
    QString text = QString::fromUtf8(entry.requestLine);
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'.';
    }
    return text.trimmed();
}

const QString &ServerLog::timeText(std::time_t time)
{
    // Formatting the clock costs more than a busy server's whole answer; once a second is enough.
    if (time != m_timeSecond || m_time.isEmpty()) {
        m_timeSecond = time;
        m_time = QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    return m_time;
}
