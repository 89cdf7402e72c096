#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A desktop of a test's own, as a screen reader finds one: an X server
// (Xvfb, without a window manager, so Qt sets each window's _NET_WM_NAME
// itself), a D-Bus session bus, and the accessibility bus it starts on demand
// (at-spi2-core). Programs started with environment() run on it; apply()
// puts the current process on it, before its QApplication exists.
class DesktopSession
{
public:
    DesktopSession() = default;
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    bool start();
    void stop();
    QString errorText() const { return m_error; }

    QString display() const { return m_display; }
    QProcessEnvironment environment() const;
    void apply() const;

private:
    bool startX();
    bool startBus();
    QString firstLine(QProcess &process, const QString &what);

    QTemporaryDir m_runtime;
    QProcess m_x;
    QProcess m_bus;
    QString m_display;
    QString m_busAddress;
    QString m_error;
};
