#pragma once

#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"
#include "server/ConnectionHost.h"
#include "server/HttpConnection.h"
#include "server/RequestHandler.h"
#include "server/ServerLogUpdate.h"
#include "server/SystemFacts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <vector>

class ConnectionRegistry;
class QTimer;
class ServerLog;
class SocketPoller;

// The HTTP server tool's engine: the listening sockets with their logged
// steps, the settings of the window, and the connections it accepts, which
// report to its log and counters.
class ServerEngine : public ToolEngine, private ConnectionHost
{
    Q_OBJECT

public:
    // At most this many client connections, and at most a quarter of the
    // descriptor limit, so that the rest of the program always has its own.
    static constexpr qsizetype MostConnections = 4096;

    explicit ServerEngine(const SettingsFile &settings = SettingsFile::standard());
    ~ServerEngine() override;

    // Engine parameters the product leaves alone: how long a client may take
    // to send a request's head, stay silent on a kept connection, or take none
    // of its answer before it is dropped; how often the window is told of the
    // log; and the addresses the listener binds (none: every interface, IPv6
    // and IPv4 on one socket).
    void setRequestTimeout(std::chrono::milliseconds limit) { m_limits.request = limit; }
    void setKeepAliveTimeout(std::chrono::milliseconds limit) { m_limits.keepAlive = limit; }
    void setIdleTimeout(std::chrono::milliseconds limit) { m_limits.stall = limit; }
    void setRefreshInterval(std::chrono::milliseconds interval);
    void setBindAddresses(const QStringList &addresses) { m_bindAddresses = addresses; }

    static QString procedureName() { return QStringLiteral("WS_http"); }
    static QString defaultDirectory();
    // The served directory as used: absolute, ending with "/"; blank means the default.
    static QString effectiveDirectory(const QString &typed);
    // How many clients the server holds at once under a descriptor limit.
    static qsizetype connectionBound(long descriptorLimit);

public slots:
    void setDirectory(const QString &directory);
    void setDefaultPage(const QString &page);
    void setDelay(int milliseconds);
    void setListingAllowed(bool allowed);
    // Closes the listener and opens it again on the new port.
    void setPort(int port);

signals:
    void fieldsLoaded(const QString &directory, const QString &defaultPage, int delay, bool listingAllowed, int port);
    void captionChanged(const QString &caption);
    // The port the listener was last opened on.
    void portChanged(int port);
    // At most one per refresh interval.
    void logUpdated(const ServerLogUpdate &update);
    // Every piece a connection has sent whole, before its delay.
    void pieceDelivered(qint64 bytes);

protected:
    void onStart() override;
    void onStop() override;

private:
    class Listener;

    // ConnectionHost
    Response answer(QByteArrayView head, Arrival arrival) override;
    int sendDelay() const override { return m_delay; }
    void pieceSent(qsizetype bytes, bool countsAsSent) override;
    void answered(qint64 bodyBytes, bool file) override;
    void socketError(int errnoValue) override;
    void clientClosed() override;
    void waitingChanged(HttpConnection *connection, bool waiting) override;
    void connectionEnded(HttpConnection *connection) override;

    void openListeners();
    void openListener(const QString &address);
    void closeListeners();
    void acceptClients(Listener &listener);
    bool makeRoom();
    void pauseAccepting(Listener &listener);
    void sweep();
    void rebuildHandler();

    SettingsFile m_file;
    ToolSettings m_settings;
    SystemFacts m_facts;
    QString m_directory;
    QString m_defaultPage;
    int m_delay = 60;
    bool m_listingAllowed = true;
    int m_port = 80;
    QStringList m_bindAddresses;
    QString m_hostName;
    std::unique_ptr<RequestHandler> m_handler;

    std::vector<std::unique_ptr<Listener>> m_listeners;
    SocketPoller *m_poller;
    ConnectionRegistry *m_registry;
    ServerLog *m_log;
    QTimer *m_sweepTimer;
    HttpConnection::Limits m_limits { std::chrono::seconds(10), std::chrono::seconds(5), std::chrono::seconds(20) };
};
