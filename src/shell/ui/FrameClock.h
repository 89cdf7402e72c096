#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The frame's clock: ticks with the frame's timer and gives the texts of the
// date and time zones of the status bar. The time source can be replaced, so
// the zones can be checked against a known moment.
class FrameClock : public QObject
{
    Q_OBJECT

public:
    using TimeSource = std::function<QDateTime()>;

    explicit FrameClock(QObject *parent = nullptr);

    // The timer period in hundredths of a second: one outside 1..100 becomes 100.
    static int timerPeriod(int hundredths);
    // "December 8, 2026".
    static QString dateText(const QDate &date);
    // "16:05:09", on a 24-hour clock.
    static QString timeText(const QTime &time);

    void setTimeSource(TimeSource source);
    // Starts ticking with the given period (through the timer rule).
    void start(int hundredths);
    int intervalMilliseconds() const { return m_timer.interval(); }

    QDateTime now() const { return m_source(); }

signals:
    void ticked(const QString &date, const QString &time);

public slots:
    // Gives the texts of this moment at once, without waiting for a tick.
    void tick();

private:
    QTimer m_timer;
    TimeSource m_source;
};
