#pragma once

#include <QElapsedTimer>
#include <QString>

// The figures of the file that is arriving and the status line they make:
// "name  512 / 2048 Kb  25%  300 k/s", or "name  512 Kb  300 k/s" while the
// size is not known. The rate counts the bytes of this transfer only, not those
// kept from a broken one.
class DownloadProgress
{
public:
    // listedSize: the size the listing gave, in bytes (-1: none); the server's
    // own answer replaces it when there is one.
    void start(const QString &name, qint64 listedSize);
    void update(qint64 bytes, qint64 size, qint64 startedAt);
    // Whether the transfer has begun, so that there are figures to show.
    bool hasFigures() const { return m_started; }
    QString text() const;

    static QString text(const QString &name, qint64 bytes, qint64 size, qint64 bytesPerSecond);

private:
    QString m_name;
    qint64 m_listedSize = -1;
    qint64 m_bytes = 0;
    qint64 m_size = -1;
    qint64 m_startedAt = 0;
    bool m_started = false;
    QElapsedTimer m_clock;
};
