#include "crawler/CrawlerEngine.h"

#include "crawler/InternetStatusText.h"
#include "crawler/LinkResolver.h"
#include "platform/InstanceRegistry.h"
#include "platform/InternetErrorNames.h"
#include "platform/SettingKeys.h"
#include "platform/inet/AsyncResult.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/InternetRequest.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/SessionSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString ErrorMark = QStringLiteral("ERROR:");
const QString ErrorStatus = QStringLiteral("Error: ");
const QString AgentPrefix = QStringLiteral("HTTP_");
constexpr qsizetype ReadSize = 64 * 1024;
// The events of one fetch the log keeps (the latest ones).
constexpr qsizetype EventRows = 64;
constexpr auto TickInterval = std::chrono::seconds(1);

// The platform's numbering of local file failures (path not found, access
// denied, disk full, name too long; a write fault otherwise).
int fileErrorCode(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return 5;
    case ENOSPC:
    case EDQUOT:
        return 112;
    case ENAMETOOLONG:
        return 206;
    default:
        return 29;
    }
}

} // namespace

CrawlerEngine::CrawlerEngine(const SettingsFile &settings, const QString &root, DownloadWorkerStarter *starter)
    : m_file(settings)
    , m_settings(SettingKeys::crawler())
    , m_starter(starter)
    , m_naming(root.isEmpty() ? QDir::currentPath() : root)
    , m_collector(m_queue, m_files, m_naming)
{
    qRegisterMetaType<CrawlerUpdate>();
    qRegisterMetaType<CrawlerEngine::Fields>();
    m_workerRows.fill(-1);
}

CrawlerEngine::~CrawlerEngine()
{
    closeRequest();
    closeLocalFile();
    m_session.reset();
}

void CrawlerEngine::setRefreshInterval(std::chrono::milliseconds interval)
{
    m_refreshInterval = interval;
    if (m_refresh)
        m_refresh->setInterval(interval);
}

QString CrawlerEngine::header() const
{
    return LocalFiles::header(m_pageCounter, m_queueSize, m_files.totalBytes());
}

void CrawlerEngine::onStart()
{
    m_settings.load(m_file);
    m_fields.address = m_settings.text("HTTPurl");
    m_fields.proxy = m_settings.text("HTTPproxy");
    m_fields.useProxy = m_settings.flag("HTTPiproxy");
    m_fields.pictures = m_settings.flag("Slike");
    m_fields.preview = m_settings.flag("IEPrew");
    m_fields.overwrite = m_settings.flag("IEgazi");
    m_driver = std::make_unique<inet::CurlDriver>();
    m_tick = new QTimer(this);
    m_tick->setInterval(TickInterval);
    connect(m_tick, &QTimer::timeout, this, &CrawlerEngine::tick);
    m_tick->start();
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(m_refreshInterval);
    connect(m_refresh, &QTimer::timeout, this, &CrawlerEngine::flush);
    // Queued: a worker may end on this very thread, inside a step.
    connect(
        InstanceRegistry::notifier(), &InstanceRegistry::Notifier::released, this,
        [this] {
            if (m_waitingForWorkers && !m_busy && m_crawling && !workersBusy()) {
                m_waitingForWorkers = false;
                crawlStep();
            }
        },
        Qt::QueuedConnection);
    emit fieldsLoaded(m_fields);
    markDirty();
}

void CrawlerEngine::onStop()
{
    m_state = WaitingForHandle;
    m_crawling = false;
    closeRequest();
    closeLocalFile();
    m_session.reset();
    m_queue.clear();
    m_files.clear();
    m_errors.clear();
    m_events.clear();
    m_status.clear();
    m_settings.save(m_file);
}

void CrawlerEngine::setFields(const CrawlerEngine::Fields &fields)
{
    m_fields = fields;
    m_settings.setText("HTTPurl", fields.address);
    m_settings.setText("HTTPproxy", fields.proxy);
    m_settings.setFlag("HTTPiproxy", fields.useProxy);
    m_settings.setFlag("Slike", fields.pictures);
    m_settings.setFlag("IEPrew", fields.preview);
    m_settings.setFlag("IEgazi", fields.overwrite);
    m_collector.setOverwrite(fields.overwrite);
}

void CrawlerEngine::startCrawl()
{
    const QString address = m_fields.address.trimmed();
    if (address.isEmpty() || !m_driver)
        return;
    closeRequest();
    closeLocalFile();
    m_inWindow = false;
    m_files.clear();
    m_workerRows.fill(-1);
    m_filesReset = true;
    m_changedFiles.clear();
    m_firstPage = 0;
    m_crawling = true;
    m_waitingForWorkers = false;
    m_state = WaitingForHandle;
    m_collector.setSite(LocalNaming::directoryUrl(address));
    m_collector.setOverwrite(m_fields.overwrite);
    // The start page is known: a link back to it is no new URL.
    m_queue.markKnown(address);
    newSession();
    processUrl(address, -1);
}

void CrawlerEngine::newSession()
{
    closeRequest();
    inet::SessionSettings settings;
    settings.agent = AgentPrefix + QString::number(QRandomGenerator::global()->bounded(1, 10001));
    settings.proxy = m_fields.useProxy ? m_fields.proxy.trimmed() : QString();
    m_session = std::make_unique<inet::InternetSession>(*m_driver, settings);
}

void CrawlerEngine::processUrl(const QString &url, int row)
{
    m_busy = true;
    m_total = 0;
    m_currentUrl = url;
    m_pageUrl = url;
    m_currentRow = row;
    m_localPath = m_naming.localPath(url);
    m_collector.makeDirectory(m_localPath);
    // Every file the crawl looks at is listed, also one that an earlier crawl in
    // this window queued (its row went when Start emptied the list).
    markFilesChanged({ m_files.add(m_localPath) });
    if (m_firstPage == 0) {
        m_firstPage = 1;
        fetch(url, row);
        return;
    }
    const QFileInfo local(m_localPath);
    if (local.isFile() && local.size() > 0 && !m_fields.overwrite) {
        // A kept copy is read again from disk instead of fetched.
        if (scanAllowed(url, m_localPath))
            m_collector.scanFile(m_localPath, url);
        m_busy = false;
        markDirty();
        scheduleCrawlStep();
        return;
    }
    fetch(url, row);
}

void CrawlerEngine::fetch(const QString &url, int row)
{
    if (m_fields.pictures && m_starter && LinkResolver::isDispatchedPicture(LocalNaming::fileName(url))) {
        const int worker = DownloadWorkers::claimFree();
        if (worker >= 0) {
            const int fileRow = m_files.add(m_localPath);
            if (m_workerRows[worker] >= 0)
                m_files.unwatch(m_workerRows[worker]);
            m_workerRows[worker] = fileRow;
            m_files.watch(fileRow);
            m_requested.append(url);
            m_workerUrls.append(url);
            DownloadJob job;
            job.url = url;
            job.localPath = m_localPath;
            job.proxy = m_fields.useProxy ? m_fields.proxy.trimmed() : QString();
            job.hidden = m_fields.hideWorkers;
            m_starter->startWorker(worker, job);
            finish(false);
            return;
        }
    }
    fetchInWindow(url, row);
}

void CrawlerEngine::fetchInWindow(const QString &url, int)
{
    m_inWindow = true;
    m_rate = 0;
    m_state = WaitingForHandle;
    m_events.clear();
    m_eventsChanged = true;
    m_total = 0;
    m_pageScanner = LinkScanner();
    m_pageReferences.clear();
    setStatus(QString());
    m_fetchClock.start();
    m_requested.append(url);
    ++m_context;
    m_request = m_session->openUrl(url, m_context);
    connect(m_request, &inet::InternetRequest::status, this, &CrawlerEngine::onStatus);
    connect(m_request, &inet::InternetRequest::completed, this, &CrawlerEngine::onCompleted);
}

void CrawlerEngine::onStatus(quintptr context, int code)
{
    if (context != m_context || !m_inWindow)
        return;
    const QString text = InternetStatusText::text(code);
    setStatus(text);
    addEvent(code, text);
    if (code == inet::Status::ConnectionClosed && m_state != WaitingForHandle)
        endFetch();
}

void CrawlerEngine::onCompleted(quintptr context, const inet::AsyncResult &result)
{
    if (context != m_context || !m_inWindow)
        return;
    if (result.error != 0) {
        addError(result.error);
        endFetch();
        return;
    }
    if (m_state == WaitingForHandle) {
        m_state = HandleArrived;
        m_pageUrl = m_request->effectiveUrl();
        m_fetchClock.start();
        if (!openLocalFile()) {
            endFetch();
            return;
        }
        readNext();
        return;
    }
    if (m_state != ReadPending)
        return;
    if (result.data.isEmpty()) {
        endFetch();
        return;
    }
    m_state = DataArrived;
    if (!writeLocal(result.data)) {
        endFetch();
        return;
    }
    m_total += result.data.size();
    m_pageScanner.feed(result.data, m_pageReferences);
    const qint64 hundredths = std::max<qint64>(1, m_fetchClock.elapsed() / 10);
    m_rate = double(m_total / hundredths) / 10.0;
    markDirty();
    readNext();
}

void CrawlerEngine::readNext()
{
    m_state = ReadReady;
    m_readClock.start();
    m_state = ReadPending;
    if (!m_request || !m_request->read(ReadSize))
        endFetch();
}

void CrawlerEngine::endFetch()
{
    if (!m_inWindow)
        return;
    m_state = Ended;
    m_inWindow = false;
    closeLocalFile();
    if (m_fetchClock.isValid()) {
        const qint64 hundredths = std::max<qint64>(1, m_fetchClock.elapsed() / 10);
        m_rate = double(m_total / hundredths) / 10.0;
    }
    closeRequest();
    finish(true);
}

void CrawlerEngine::finish(bool inWindow)
{
    m_busy = true;
    m_state = WaitingForHandle;
    m_session.reset();
    const int fileRow = m_files.indexOf(m_localPath);
    if (fileRow >= 0)
        m_files.touch(fileRow);
    markFilesChanged(m_files.fetchPass());
    m_statisticsShown = true;
    if (scanAllowed(m_pageUrl, m_localPath)) {
        if (inWindow && m_total > 0) {
            m_pageScanner.finish(m_pageReferences);
            for (const QByteArray &reference : std::as_const(m_pageReferences))
                m_collector.collect(reference, m_pageUrl);
            m_pageReferences.clear();
        } else if (QFileInfo(m_localPath).isFile()) {
            m_collector.scanFile(m_localPath, m_pageUrl);
        }
    }
    if (m_firstPage == 1)
        m_firstPage = 2;
    if (inWindow && m_total == 0 && m_currentRow >= 0)
        m_queue.retry(m_currentRow);
    m_busy = false;
    markDirty();
    scheduleCrawlStep();
}

bool CrawlerEngine::scanAllowed(const QString &url, const QString &path) const
{
    // Pages outside the site are mirrored but not followed; pictures hold no links.
    return LinkResolver::isInside(url, m_collector.site())
        && !LinkResolver::isDispatchedPicture(path.mid(path.lastIndexOf(u'/') + 1));
}

void CrawlerEngine::scheduleCrawlStep()
{
    if (m_stepQueued || !m_crawling)
        return;
    m_stepQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_stepQueued = false;
            if (!m_busy && m_crawling)
                crawlStep();
        },
        Qt::QueuedConnection);
}

void CrawlerEngine::crawlStep()
{
    m_busy = true;
    m_queueSize = m_queue.size();
    const std::optional<int> next = m_queue.takeNext();
    if (!next) {
        if (workersBusy()) {
            // The crawl ends once the workers it started have written their files.
            m_busy = false;
            m_waitingForWorkers = true;
            return;
        }
        endCrawl();
        return;
    }
    ++m_pageCounter;
    newSession();
    processUrl(m_queue.row(*next).url, *next);
}

void CrawlerEngine::endCrawl()
{
    m_state = Finished;
    m_crawling = false;
    m_busy = false;
    m_session.reset();
    m_files.endPass();
    m_statisticsShown = true;
    m_filesReset = true;
    setStatus(doneText());
    flush();
    emit crawlFinished();
}

bool CrawlerEngine::workersBusy()
{
    bool busy = false;
    for (int index = 0; index < DownloadWorkers::Count; ++index) {
        const int row = m_workerRows[index];
        if (row < 0)
            continue;
        if (DownloadWorkers::isRunning(index)) {
            busy = true;
            continue;
        }
        m_files.unwatch(row);
        m_workerRows[index] = -1;
    }
    return busy;
}

void CrawlerEngine::tick()
{
    if (m_inWindow) {
        const bool waiting
            = m_state == WaitingForHandle && m_fetchClock.isValid() && m_fetchClock.elapsed() >= m_readLimit.count();
        const bool stalled = m_state == ReadPending && m_readClock.elapsed() >= m_readLimit.count();
        if (waiting || stalled) {
            addError(inet::ErrorTimeout);
            endFetch();
            return;
        }
    }
    if (m_crawling) {
        workersBusy();
        markFilesChanged(m_files.fetchPass());
        // The fallback: a crawl between steps moves on even if the event that
        // should have moved it was lost.
        if (!m_busy)
            scheduleCrawlStep();
    }
}

void CrawlerEngine::abortFetch()
{
    endFetch();
}

void CrawlerEngine::dropConnection()
{
    // The crawl stops first, so the end of the current fetch takes no next step;
    // the fetch itself ends as "Prekid" ends it, keeping what arrived.
    m_crawling = false;
    m_waitingForWorkers = false;
    endFetch();
    m_busy = false;
    m_state = WaitingForHandle;
    m_session.reset();
    // A new driver starts with an empty connection cache: every kept-alive connection closes.
    if (m_driver)
        m_driver = std::make_unique<inet::CurlDriver>();
    setStatus(InternetStatusText::text(inet::Status::ConnectionClosed));
}

void CrawlerEngine::deleteFile(const QString &path)
{
    // By path, not row: a Start may have emptied the list since the user chose the row.
    const int row = m_files.indexOf(path);
    if (row < 0)
        return;
    if (m_inWindow && path == m_localPath)
        return; // the file being written stays
    QFile::remove(path);
    m_files.markDeleted(row);
    markFilesChanged({ row });
}

void CrawlerEngine::closeRequest()
{
    if (!m_request)
        return;
    inet::InternetRequest *request = m_request;
    m_request = nullptr;
    QObject::disconnect(request, nullptr, this, nullptr);
    request->close();
}

bool CrawlerEngine::openLocalFile()
{
    closeLocalFile();
    QDir().mkpath(QFileInfo(m_localPath).path());
    m_local = ::open(QFile::encodeName(m_localPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_local >= 0)
        return true;
    const int code = fileErrorCode(errno);
    addError(code);
    setStatus(ErrorStatus + QString::number(code));
    return false;
}

bool CrawlerEngine::writeLocal(const QByteArray &data)
{
    const char *from = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(m_local, from, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int code = fileErrorCode(written < 0 ? errno : ENOSPC);
            addError(code);
            setStatus(ErrorStatus + QString::number(code));
            return false;
        }
        from += written;
        left -= written;
    }
    return true;
}

void CrawlerEngine::closeLocalFile()
{
    if (m_local >= 0)
        ::close(m_local);
    m_local = -1;
}

void CrawlerEngine::addError(int code)
{
    if (code == 0)
        return;
    const bool named = code >= InternetErrorNames::FirstCode && code <= InternetErrorNames::LastCode;
    m_errors.append({ ErrorMark, QString::number(code), named ? InternetErrorNames::shownName(code) : QString() });
    markDirty();
}

void CrawlerEngine::addEvent(int code, const QString &text)
{
    m_events.append({ QString::number(m_context), QString::number(code), text });
    if (m_events.size() > EventRows)
        m_events.remove(0, m_events.size() - EventRows);
    m_eventsChanged = true;
    markDirty();
}

void CrawlerEngine::setStatus(const QString &text)
{
    m_status = text;
    markDirty();
}

void CrawlerEngine::markFilesChanged(const QList<int> &rows)
{
    for (const int row : rows)
        m_changedFiles.insert(row);
    if (!rows.isEmpty())
        markDirty();
}

void CrawlerEngine::markDirty()
{
    if (m_refresh && !m_refresh->isActive())
        m_refresh->start();
}

void CrawlerEngine::flush()
{
    if (m_refresh)
        m_refresh->stop();
    CrawlerUpdate update;
    update.status = m_status;
    update.bytes = m_total;
    update.rate = m_rate;
    update.pageCounter = m_pageCounter;
    if (m_statisticsShown)
        update.header = header();
    update.running = m_crawling;
    const int count = m_files.size();
    if (m_filesReset) {
        update.filesReset = true;
        for (int row = 0; row < count; ++row)
            update.fileIndices.append(row);
    } else {
        QList<int> rows(m_changedFiles.cbegin(), m_changedFiles.cend());
        for (int row = m_shownFiles; row < count; ++row) {
            if (!m_changedFiles.contains(row))
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        update.fileIndices = rows;
    }
    for (const int row : std::as_const(update.fileIndices))
        update.fileRows.append(m_files.row(row));
    m_filesReset = false;
    m_changedFiles.clear();
    m_shownFiles = count;
    update.logReset = m_logReset;
    update.errorsAdded = m_errors.mid(m_logReset ? 0 : m_shownErrors);
    m_shownErrors = int(m_errors.size());
    m_logReset = false;
    update.eventsChanged = m_eventsChanged || update.logReset;
    if (update.eventsChanged)
        update.events = m_events;
    m_eventsChanged = false;
    emit updated(update);
}
