#pragma once

#include "crawler/CrawlerDisplay.h"
#include "crawler/LinkCollector.h"
#include "crawler/LinkConverter.h"
#include "crawler/LinkQueue.h"
#include "crawler/LocalFiles.h"
#include "crawler/MirrorIndex.h"
#include "crawler/WindowFetch.h"
#include "crawler/WorkerSlots.h"
#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"

#include <QTimer>

#include <chrono>
#include <memory>

namespace inet {
class CurlDriver;
class InternetSession;
} // namespace inet

// The Crawler's engine: the crawl's schedule. It fetches the start page, saves
// it in the local mirror, scans it, and works through the link queue in class
// order, fetching pages itself and handing pictures to free Download workers,
// until nothing waits and every file is on disk ("- gotovo -"). Every step runs
// as soon as the event that allows it arrives; the one-second tick only watches
// the read limit and the workers.
class CrawlerEngine : public ToolEngine
{
    Q_OBJECT

public:
    // The crawl has ended; otherwise the state is the fetch state of WindowFetch.
    static constexpr int Finished = 9;

    struct Fields
    {
        QString address;
        QString proxy;
        bool useProxy = false;
        bool pictures = true; // `Slike`: pictures go to the Download workers
        bool preview = true; // `IEPrew`
        bool overwrite = false; // `IEgazi`
        bool convertLinks = false; // `IElink`: "pretvori linkove"
        bool hideWorkers = false; // "sakrij download"
    };

    // root: where the mirror is made (the working directory); its record of
    // which URL owns which file lies there too, beside the Settings file.
    // starter: opens Download workers; without one every file is fetched in the window.
    explicit CrawlerEngine(const SettingsFile &settings = SettingsFile::standard(), const QString &root = QString(),
        DownloadWorkerStarter *starter = nullptr);
    ~CrawlerEngine() override;

    // A read that brings nothing for this long ends the fetch (tests shorten it).
    void setReadLimit(std::chrono::milliseconds limit) { m_readLimit = limit; }
    // How often the window is updated at most.
    void setRefreshInterval(std::chrono::milliseconds interval) { m_display.setInterval(interval); }

    static QString procedureName() { return QStringLiteral("Http_asy"); }
    static QString doneText() { return QStringLiteral("- gotovo -"); }
    // The record of the mirror, beside the Settings file in the working directory.
    static QString recordName() { return QStringLiteral("TORVEX.MAP"); }

    // The engine's state, for the window and for tests.
    Fields fields() const { return m_fields; }
    int state() const { return m_finished ? Finished : m_fetch.state(); }
    bool isCrawling() const { return m_crawling; }
    QString status() const { return m_status; }
    int pageCounter() const { return m_pageCounter; }
    QString header() const;
    const LinkQueue &queue() const { return m_queue; }
    const LocalFiles &files() const { return m_files; }
    EventLogRows errorRows() const { return m_display.errors(); }
    QString localPathOf(const QString &url) const { return m_index.pathOf(url); }
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
    void newSession();
    void processUrl(const QString &url, int row);
    void fetch(const QString &url);
    void fetchInWindow(const QString &url);
    void onFetchStatus(quintptr context, int code);
    void onFetchEnded(const WindowFetch::Outcome &outcome);
    void finish(bool inWindow, const WindowFetch::Outcome &outcome = {});
    // Reads the local copy of the current URL again for its references.
    void scanCopy(const QString &url);
    inet::Validators copyValidators(const QString &url) const;
    void convertNext();
    void finishCrawl();
    void onWorkersEnded();
    // Takes in the files of the workers that have ended; whether there were any.
    bool collectEndedWorkers();
    void scheduleCrawlStep();
    void crawlStep();
    void endCrawl();
    void tick();
    bool scanAllowed(const QString &url, const QString &path) const;
    bool isPicture(const QString &path) const;
    void addError(int code);
    void setStatus(const QString &text);
    void flush();

    SettingsFile m_file;
    ToolSettings m_settings;
    Fields m_fields;
    std::chrono::milliseconds m_readLimit { 20000 };

    MirrorIndex m_index;
    LinkQueue m_queue;
    LocalFiles m_files;
    LinkCollector m_collector;
    WorkerSlots m_workers;
    CrawlerDisplay m_display;
    LinkConverter m_converter;
    WindowFetch m_fetch;

    std::unique_ptr<inet::CurlDriver> m_driver;
    std::unique_ptr<inet::InternetSession> m_session;
    quintptr m_context = 0;
    // The page being fetched is scanned as it arrives, so it is not read back from disk.
    std::optional<ReferenceFinder> m_pageFinder;
    bool m_scanningFetch = false;
    // With "pretvori linkove": the URLs whose copies are still to be rewritten.
    QStringList m_toConvert;
    int m_converted = 0;
    bool m_converting = false;

    bool m_crawling = false;
    bool m_finished = false;
    bool m_busy = false;
    bool m_stepQueued = false;
    bool m_waitingForWorkers = false; // the queue is done, the workers not yet
    bool m_statisticsShown = false; // the list's first header says "Lokal" until then
    int m_firstPage = 0;
    int m_pageCounter = 0;
    int m_queueSize = 0;
    QString m_currentUrl;
    QString m_localPath;
    int m_currentRow = -1;
    QString m_status;
    QStringList m_requested;
    QStringList m_workerUrls;
    QTimer *m_tick = nullptr;
};

Q_DECLARE_METATYPE(CrawlerEngine::Fields)
