#pragma once

#include "crawler/CrawlerUpdate.h"
#include "crawler/DownloadWorkers.h"
#include "crawler/LinkCollector.h"
#include "crawler/LinkQueue.h"
#include "crawler/LocalFiles.h"
#include "crawler/LocalNaming.h"
#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <array>
#include <chrono>
#include <memory>

namespace inet {
class CurlDriver;
class InternetRequest;
class InternetSession;
struct AsyncResult;
} // namespace inet

// The Crawler's engine: it fetches the start page, saves it under the local
// mirror, scans it, and works through the link queue in class order, fetching
// pages itself and handing pictures to free Download workers, until nothing
// waits ("- gotovo -"). Every step runs as soon as the event that allows it
// arrives; the one-second tick only watches the read limit and the workers.
class CrawlerEngine : public ToolEngine
{
    Q_OBJECT

public:
    // The fetch state, as the window's designers numbered it.
    enum State : int {
        WaitingForHandle = 0,
        HandleArrived = 1,
        ReadReady = 2,
        ReadPending = 3,
        DataArrived = 4,
        Ended = 5,
        Finished = 9
    };

    struct Fields
    {
        QString address;
        QString proxy;
        bool useProxy = false;
        bool pictures = true; // `Slike`: pictures go to the Download workers
        bool preview = true; // `IEPrew`
        bool overwrite = false; // `IEgazi`
        bool hideWorkers = false; // "sakrij download"
    };

    // root: where the mirror is made (the working directory). starter: opens
    // Download workers; without one every file is fetched in the window.
    explicit CrawlerEngine(const SettingsFile &settings = SettingsFile::standard(), const QString &root = QString(),
        DownloadWorkerStarter *starter = nullptr);
    ~CrawlerEngine() override;

    // A read that brings nothing for this long ends the fetch (tests shorten it).
    void setReadLimit(std::chrono::milliseconds limit) { m_readLimit = limit; }
    // How often the window is updated at most.
    void setRefreshInterval(std::chrono::milliseconds interval);

    static QString procedureName() { return QStringLiteral("Http_asy"); }
    static QString doneText() { return QStringLiteral("- gotovo -"); }

    // The engine's state, for the window and for tests.
    Fields fields() const { return m_fields; }
    int state() const { return m_state; }
    bool isCrawling() const { return m_crawling; }
    QString status() const { return m_status; }
    int pageCounter() const { return m_pageCounter; }
    QString header() const;
    const LinkQueue &queue() const { return m_queue; }
    const LocalFiles &files() const { return m_files; }
    EventLogRows errorRows() const { return m_errors; }
    QString localPathOf(const QString &url) const { return m_naming.localPath(url); }
    // Every URL the engine asked the network for (in the window or through a
    // worker), in order.
    QStringList requestedUrls() const { return m_requested; }
    QStringList workerUrls() const { return m_workerUrls; }

public slots:
    void setFields(const CrawlerEngine::Fields &fields);
    // "Start".
    void startCrawl();
    // "Prekid": the current fetch ends now, keeping what arrived.
    void abortFetch();
    // "Prekini vezu": the current fetch ends as with "Prekid", every connection
    // closes, and the crawl stops until the next Start.
    void dropConnection();
    // The delete button, after the user confirmed: removes a listed file and marks its row.
    void deleteFile(const QString &path);

signals:
    void fieldsLoaded(const CrawlerEngine::Fields &fields);
    void updated(const CrawlerUpdate &update);
    // The crawl has ended ("- gotovo -").
    void crawlFinished();

protected:
    void onStart() override;
    void onStop() override;

private:
    void processUrl(const QString &url, int row);
    void fetch(const QString &url, int row);
    void fetchInWindow(const QString &url, int row);
    void onStatus(quintptr context, int code);
    void onCompleted(quintptr context, const inet::AsyncResult &result);
    void readNext();
    void endFetch();
    void finish(bool inWindow);
    void scheduleCrawlStep();
    void crawlStep();
    void endCrawl();
    void tick();
    bool workersBusy();
    void closeRequest();
    void addError(int code);
    void addEvent(int code, const QString &text);
    void setStatus(const QString &text);
    void flush();
    void markFilesChanged(const QList<int> &rows);
    void markDirty();
    bool openLocalFile();
    bool writeLocal(const QByteArray &data);
    void closeLocalFile();
    bool scanAllowed(const QString &url, const QString &path) const;
    void newSession();

    SettingsFile m_file;
    ToolSettings m_settings;
    Fields m_fields;
    DownloadWorkerStarter *m_starter = nullptr;
    std::chrono::milliseconds m_readLimit { 20000 };

    LocalNaming m_naming;
    LinkQueue m_queue;
    LocalFiles m_files;
    LinkCollector m_collector;

    std::unique_ptr<inet::CurlDriver> m_driver;
    std::unique_ptr<inet::InternetSession> m_session;
    QPointer<inet::InternetRequest> m_request;
    quintptr m_context = 0;
    int m_local = -1; // the local file being written
    // The page being fetched is scanned as it arrives, so it is not read back from disk.
    LinkScanner m_pageScanner;
    QList<QByteArray> m_pageReferences;

    int m_state = WaitingForHandle;
    bool m_crawling = false;
    bool m_busy = false;
    bool m_stepQueued = false;
    int m_firstPage = 0;
    int m_pageCounter = 0;
    int m_queueSize = 0;
    QString m_currentUrl;
    // The address the page came from after redirects: its references stand on it.
    QString m_pageUrl;
    QString m_localPath;
    int m_currentRow = -1;
    bool m_inWindow = false;
    qint64 m_total = 0;
    double m_rate = 0;
    QElapsedTimer m_fetchClock;
    QElapsedTimer m_readClock;
    QString m_status;
    std::array<int, DownloadWorkers::Count> m_workerRows;

    EventLogRows m_errors;
    EventLogRows m_events;
    QStringList m_requested;
    QStringList m_workerUrls;

    std::chrono::milliseconds m_refreshInterval { 100 };
    QTimer *m_tick = nullptr;
    QTimer *m_refresh = nullptr;
    bool m_waitingForWorkers = false; // the queue is done, the workers not yet
    bool m_filesReset = true;
    QSet<int> m_changedFiles;
    int m_shownFiles = 0;
    bool m_logReset = true;
    int m_shownErrors = 0;
    bool m_eventsChanged = false;
    bool m_statisticsShown = false; // the list's first header says "Lokal" until then
};

Q_DECLARE_METATYPE(CrawlerEngine::Fields)
