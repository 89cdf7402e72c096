#pragma once

#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"
#include "server/ConnectionHost.h"
#include "server/RequestHandler.h"
#include "server/ServerLogUpdate.h"
#include "server/SystemFacts.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <chrono>
#include <ctime>
#include <memory>

class HttpConnection;
class QSocketNotifier;
class SocketPoller;
class QTimer;

// The HTTP server tool's engine: the listening socket with its logged steps,
// every accepted connection, the settings of the window, the log and counters.
class ServerEngine : public ToolEngine, private ConnectionHost
{
    Q_OBJECT

public:
    static constexpr int LogLimit = 200;
    static constexpr int StatusWidth = 40;

    explicit ServerEngine(const SettingsFile &settings = SettingsFile::standard());
    ~ServerEngine() override;

    // Engine parameters the product leaves alone: how long a client may stay
    // silent or stop reading before it is dropped, how often the window is told
    // of the log, and the address the listener binds (all interfaces).
    void setIdleTimeout(std::chrono::milliseconds limit) { m_idleTimeout = limit; }
    void setRefreshInterval(std::chrono::milliseconds interval) { m_refreshInterval = interval; }
    void setBindAddress(const QString &ipv4) { m_bindAddress = ipv4; }

    static QString procedureName() { return QStringLiteral("WS_http"); }
    static QString defaultDirectory();
    // The served directory as used: absolute, ending with "/"; blank means the default.
    static QString effectiveDirectory(const QString &typed);

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
    // ConnectionHost
    Response answer(QByteArrayView requestStart, bool lineEnded) override;
    int sendDelay() const override { return m_delay; }
    void pieceSent(qsizetype bytes, bool countsAsSent) override;
    void answered(qint64 bodyBytes, bool file) override;
    void socketError(int errnoValue) override;
    void clientClosed() override;
    void connectionEnded(HttpConnection *connection) override;

    void openListener();
    void closeListener();
    void acceptClients();
    void sweep();
    void deleteEnded();
    void rebuildHandler();
    void log(const QString &status);
    void logWithoutLimit(const QString &status);
    void logError(int winsockCode);
    void scheduleRefresh();
    void flushLog();
    const QString &timeText();

    SettingsFile m_file;
    ToolSettings m_settings;
    SystemFacts m_facts;
    QString m_directory;
    QString m_defaultPage;
    int m_delay = 60;
    bool m_listingAllowed = true;
    int m_port = 80;
    QString m_bindAddress;
    QString m_hostName;
    std::unique_ptr<RequestHandler> m_handler;

    int m_listener = -1;
    bool m_bound = false;
    bool m_listening = false;
    QSocketNotifier *m_acceptNotifier = nullptr;
    SocketPoller *m_poller;
    QHash<HttpConnection *, bool> m_connections;
    QList<HttpConnection *> m_ended;
    QTimer *m_sweepTimer;
    QTimer *m_refreshTimer;
    std::chrono::milliseconds m_idleTimeout = std::chrono::seconds(20);
    std::chrono::milliseconds m_refreshInterval = std::chrono::milliseconds(100);

    ServerLogUpdate m_pending;
    int m_rowCount = 0;
    qint64 m_hits = 0;
    qint64 m_bytesSent = 0;
    std::time_t m_timeSecond = 0;
    QString m_time;
};
