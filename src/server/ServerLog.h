#pragma once

#include "server/ServerLogUpdate.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <ctime>

class QTimer;

// The server's status log and its counters as the window shows them. An
// ordinary row that makes 200 or more empties the list, itself included;
// request lines and error names never do. The window is told at most once
// per refresh interval, with everything that changed since.
class ServerLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int RowLimit = 200;
    static constexpr int StatusWidth = 40;

    explicit ServerLog(QObject *parent = nullptr);

    void setRefreshInterval(std::chrono::milliseconds interval) { m_refreshInterval = interval; }

    void log(const QString &status);
    // A row appended without the 200-row check.
    void logWithoutLimit(const QString &status);
    // The symbolic name of a Windows Sockets code, without the check.
    void logError(int winsockCode);
    void countHit();
    void countSent(qint64 bytes);
    // Tells the window now.
    void flush();

signals:
    void updated(const ServerLogUpdate &update);

private:
    void scheduleRefresh();
    const QString &timeText();

    QTimer *m_refreshTimer;
    std::chrono::milliseconds m_refreshInterval = std::chrono::milliseconds(100);
    ServerLogUpdate m_pending;
    int m_rowCount = 0;
    qint64 m_hits = 0;
    qint64 m_bytesSent = 0;
    std::time_t m_timeSecond = 0;
    QString m_time;
};
