#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>

// A real peer program (lighttpd, tinyproxy, pyftpdlib, a fault server) started by
// a test on a loopback port, waited for with a time limit and stopped again.
class PeerProcess
{
public:
    PeerProcess() = default;
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    // Starts the program and waits until host:port accepts connections.
    // On failure returns false and leaves a description in errorText().
    bool start(const QString &program, const QStringList &arguments, const QString &host, quint16 port,
               std::chrono::milliseconds limit = std::chrono::seconds(15));
    void stop();

    QString errorText() const { return m_error; }
    QByteArray output() const;
    QProcess &process() { return m_process; }

    // A TCP port on the given loopback address that nobody listens on right now.
    static quint16 freePort(const QString &host = QStringLiteral("127.0.0.1"));
    // The full path of a program from PATH, or empty.
    static QString findProgram(const QString &name);

private:
    QProcess m_process;
    QString m_error;
};
