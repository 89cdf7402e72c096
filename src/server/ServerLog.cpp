#include "server/ServerLog.h"

#include "platform/SocketErrors.h"

#include <QDateTime>
#include <QTimer>

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
    if (m_rowCount >= RowLimit) {
        m_rowCount = 0;
        m_pending.rows.clear();
        m_pending.cleared = true;
    }
}

void ServerLog::logWithoutLimit(const QString &status)
{
    m_pending.rows.append({ timeText(), status.left(StatusWidth) });
    ++m_rowCount;
    scheduleRefresh();
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
    m_pending.hits = m_hits;
    m_pending.bytesSent = m_bytesSent;
    emit updated(m_pending);
    m_pending = ServerLogUpdate();
}

void ServerLog::scheduleRefresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(m_refreshInterval);
}

const QString &ServerLog::timeText()
{
    // Formatting the clock costs more than a busy server's whole answer; once a second is enough.
    const std::time_t now = std::time(nullptr);
    if (now != m_timeSecond || m_time.isEmpty()) {
        m_timeSecond = now;
        m_time = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    return m_time;
}
