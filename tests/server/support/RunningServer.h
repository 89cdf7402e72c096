#pragma once

#include "server/ServerLogUpdate.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

class EngineThread;
class ServerEngine;

// The server engine on a thread of its own, serving a temporary directory on a
// free loopback port, with everything it reports gathered on the test's thread.
class RunningServer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int delay = 0;
        bool listingAllowed = true;
        QString defaultPage = QStringLiteral("default.htm");
        std::chrono::milliseconds idleTimeout = std::chrono::seconds(20);
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(10);
        std::chrono::milliseconds keepAliveTimeout = std::chrono::seconds(5);
        int port = 0; // 0: a free one
        QStringList bindAddresses { QStringLiteral("127.0.0.1") }; // empty: every interface
    };

    explicit RunningServer(const Options &options);
    RunningServer()
        : RunningServer(Options())
    { }
    ~RunningServer() override;

    bool stop(); // false when the engine did not end in time

    QString root() const { return m_www.path() + u'/'; }
    QString settingsPath() const { return m_settings.filePath(QStringLiteral("TORVEX.INI")); }
    int port() const { return m_port; }
    QString url(const QString &path) const;
    ServerEngine *engine() const { return m_engine; }

    // Writes a file below the served directory (directories made as needed).
    void addFile(const QString &relativePath, const QByteArray &content) const;

    // Every row logged so far, whatever the window's 200-row rule emptied.
    QStringList statuses() const { return m_statuses; }
    bool sawClear() const { return m_cleared; }
    // The rows the window shows: those logged since the last time the log emptied.
    QStringList visibleRows() const { return m_visible; }
    qint64 hits() const { return m_hits; }
    qint64 bytesSent() const { return m_bytes; }
    QList<qint64> pieces() const { return m_pieces; }
    void clearPieces() { m_pieces.clear(); }

    // Runs a step on the engine's thread.
    void call(const std::function<void(ServerEngine *)> &step);

private:
    void onUpdate(const ServerLogUpdate &update);

    QTemporaryDir m_www;
    QTemporaryDir m_settings;
    int m_port = 0;
    ServerEngine *m_engine = nullptr;
    std::unique_ptr<EngineThread> m_thread;
    QStringList m_statuses;
    QStringList m_visible;
    bool m_cleared = false;
    qint64 m_hits = 0;
    qint64 m_bytes = 0;
    QList<qint64> m_pieces;
};

// A program run to its end: its exit code and what it wrote.
struct ClientRun
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

ClientRun runClient(const QString &program, const QStringList &arguments, int limitMs = 30000);
// curl -s -i URL (raw: the path is sent as it stands).
ClientRun curl(const QString &url, const QStringList &more = {});
// Sends bytes on a fresh connection and returns all the server sent back
// before closing, or before the length its answer announced was complete.
QByteArray exchange(int port, const QByteArray &request, int limitMs = 5000);
// Whether answer holds a whole answer after its head, by its Content-Length.
bool answerComplete(const QByteArray &answer);
// The status code of a raw answer, 0 when there is none.
int statusOf(const QByteArray &answer);
QByteArray bodyOf(const QByteArray &answer);
