#pragma once

#include "server/ServerLogUpdate.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <ctime>

class QTimer;

// The server's status log and its counters as the window shows them. An
// ordinary row that makes 200 or more empties the list, itself included;
// request lines and error names never do. The window is told at most once
// per refresh interval, with everything that changed since. A row becomes
// text only then: on a busy server most rows are emptied away before it.
class ServerLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int RowLimit = 200;
    static constexpr int StatusWidth = 40;

    explicit ServerLog(QObject *parent = nullptr);

    void setRefreshInterval(std::chrono::milliseconds interval) { m_refreshInterval = interval; }

    void log(const QString &status);
    // The status followed by a number ("sent 4096").
    void log(const QString &status, qint64 number);
    // A row appended without the 200-row check.
    void logWithoutLimit(const QString &status);
    // A request's first line, without the check; control bytes show as dots.
    void logRequestLine(QByteArrayView line);
    // The symbolic name of a Windows Sockets code, without the check.
    void logError(int winsockCode);
    void countHit();
    void countSent(qint64 bytes);
    // Tells the window now.
    void flush();

signals:
    void updated(const ServerLogUpdate &update);

private:
    struct Entry
    {
        std::time_t time;
        QString status;
        qint64 number = -1; // follows the status when not negative
        QByteArray requestLine; // the row's text, when status is empty
    };

    void append(Entry entry);
    void applyLimit();
    void scheduleRefresh();
    QString textOf(const Entry &entry) const;
    const QString &timeText(std::time_t time);

    QTimer *m_refreshTimer;
    std::chrono::milliseconds m_refreshInterval = std::chrono::milliseconds(100);
    QList<Entry> m_entries; // since the window was last told
    bool m_cleared = false;
    int m_rowCount = 0;
    qint64 m_hits = 0;
    qint64 m_bytesSent = 0;
    std::time_t m_timeSecond = 0;
    QString m_time;
};
