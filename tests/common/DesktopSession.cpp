#include "common/DesktopSession.h"

#include <QDeadlineTimer>
#include <QFile>

namespace {

constexpr int StartLimit = 15000; // ms

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

DesktopSession::~DesktopSession()
{
    stop();
}

bool DesktopSession::start()
{
    if (!m_runtime.isValid()) {
        m_error = QStringLiteral("no runtime directory");
        return false;
    }
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return startX() && startBus();
}

void DesktopSession::stop()
{
    // The accessibility bus, its launcher and registry, which the session bus
    // started, end as soon as the session bus is gone.
    stopProcess(m_bus);
    stopProcess(m_x);
}

QString DesktopSession::firstLine(QProcess &process, const QString &what)
{
    QDeadlineTimer deadline(StartLimit);
    process.waitForStarted(StartLimit);
    while (!process.canReadLine() && !deadline.hasExpired() && process.state() == QProcess::Running)
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
    if (line.isEmpty())
        m_error = QStringLiteral("%1 gave no address: %2")
                      .arg(what, QString::fromLocal8Bit(process.readAllStandardError()));
    return line;
}

bool DesktopSession::startX()
{
    // -displayfd picks a free display and tells it: no race with other tests.
    m_x.start(QStringLiteral("Xvfb"),
        { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
            QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp") });
    const QString number = firstLine(m_x, QStringLiteral("Xvfb"));
    if (number.isEmpty())
        return false;
    m_display = u':' + number;
    return true;
}

bool DesktopSession::startBus()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_bus.setProcessEnvironment(environment);
    m_bus.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
    m_busAddress = firstLine(m_bus, QStringLiteral("dbus-daemon"));
    return !m_busAddress.isEmpty();
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // As with a screen reader running: Qt serves the accessibility bus.
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

void DesktopSession::apply() const
{
    const QProcessEnvironment environment = this->environment();
    for (const QString &name :
        { QStringLiteral("DISPLAY"), QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("XDG_RUNTIME_DIR"),
            QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") })
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
    qunsetenv("WAYLAND_DISPLAY");
}
