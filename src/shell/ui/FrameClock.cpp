#include "shell/ui/FrameClock.h"

#include <QLocale>

namespace {

constexpr int DefaultPeriod = 100;
constexpr int MillisecondsPerHundredth = 10;

} // namespace

FrameClock::FrameClock(QObject *parent)
    : QObject(parent)
    , m_source(&QDateTime::currentDateTime)
{
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::tick);
}

int FrameClock::timerPeriod(int hundredths)
{
    return hundredths >= 1 && hundredths <= DefaultPeriod ? hundredths : DefaultPeriod;
}

QString FrameClock::dateText(const QDate &date)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, QStringLiteral("MMMM d, yyyy"));
}

QString FrameClock::timeText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

void FrameClock::setTimeSource(TimeSource source)
{
    m_source = std::move(source);
}

void FrameClock::start(int hundredths)
{
    m_timer.start(timerPeriod(hundredths) * MillisecondsPerHundredth);
    tick();
}

void FrameClock::tick()
{
    const QDateTime moment = m_source();
    emit ticked(dateText(moment.date()), timeText(moment.time()));
}
