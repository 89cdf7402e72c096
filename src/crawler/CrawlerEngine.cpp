#include "crawler/CrawlerEngine.h"

#include "crawler/InternetStatusText.h"
#include "crawler/LinkResolver.h"
#include "platform/InstanceRegistry.h"
#include "platform/InternetErrorNames.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/SessionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

namespace {

const QString ErrorMark = QStringLiteral("ERROR:");
const QString ErrorStatus = QStringLiteral("Error: ");
const QString AgentPrefix = QStringLiteral("HTTP_");
const QString ConvertingStatus = QStringLiteral("Pretvaram linkove ... %1 od %2");
constexpr auto TickInterval = std::chrono::seconds(1);

QString rootOr(const QString &root)
{
    return QDir::cleanPath(QDir(root.isEmpty() ? QDir::currentPath() : root).absolutePath());
}

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

CrawlerEngine::CrawlerEngine(const SettingsFile &settings, const QString &root, DownloadWorkerStarter *starter)
    : m_file(settings)
    , m_settings(SettingKeys::crawler())
    , m_index(rootOr(root), rootOr(root) + u'/' + recordName())
    , m_collector(m_queue, m_files, m_index)
    , m_workers(starter)
    , m_display(m_files)
    , m_converter(m_index)
{
    qRegisterMetaType<CrawlerUpdate>();
    qRegisterMetaType<CrawlerEngine::Fields>();
    qRegisterMetaType<WindowFetch::Outcome>();
    m_display.setParent(this);
    m_fetch.setParent(this);
    connect(&m_display, &CrawlerDisplay::due, this, &CrawlerEngine::flush);
    connect(&m_fetch, &WindowFetch::status, this, &CrawlerEngine::onFetchStatus);
    connect(&m_fetch, &WindowFetch::requestFailed, this, &CrawlerEngine::addError);
    connect(&m_fetch, &WindowFetch::fileFailed, this, [this](int code) {
        addError(code);
        setStatus(ErrorStatus + QString::number(code));
    });
    connect(&m_fetch, &WindowFetch::received, this, [this](const QByteArray &bytes) {
        if (!m_scanningFetch)
            return;
        // What the page is shows once its answer has come: a stylesheet holds CSS only.
        if (!m_pageFinder)
            m_pageFinder.emplace(LinkCollector::kindOf(m_localPath, QString::fromUtf8(m_fetch.contentType())));
        m_pageFinder->feed(bytes);
    });
    connect(&m_fetch, &WindowFetch::progressed, &m_display, &CrawlerDisplay::changed);
    connect(&m_fetch, &WindowFetch::ended, this, &CrawlerEngine::onFetchEnded);
}

CrawlerEngine::~CrawlerEngine()
{
    // The fetch's request belongs to the session: it goes first.
    m_fetch.cancel();
    m_session.reset();
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
    m_fields.convertLinks = m_settings.flag("IElink");
    m_index.load();
    m_driver = std::make_unique<inet::CurlDriver>();
    m_tick = new QTimer(this);
    m_tick->setInterval(TickInterval);
    connect(m_tick, &QTimer::timeout, this, &CrawlerEngine::tick);
    m_tick->start();
    // Queued: a worker may end on this very thread, inside a step.
    connect(InstanceRegistry::notifier(), &InstanceRegistry::Notifier::released, this, &CrawlerEngine::onWorkersEnded,
        Qt::QueuedConnection);
    emit fieldsLoaded(m_fields);
    m_display.changed();
}

void CrawlerEngine::onStop()
{
    m_crawling = false;
    m_converting = false;
    m_fetch.cancel();
    m_session.reset();
    m_index.save();
    m_queue.clear();
    m_files.clear();
    m_display.clearLog();
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
    m_settings.setFlag("IElink", fields.convertLinks);
    m_collector.setOverwrite(fields.overwrite);
}

void CrawlerEngine::startCrawl()
{
    const QString address = LinkResolver::withoutDotSegments(m_fields.address);
    if (address.isEmpty() || !m_driver)
        return;
    m_fetch.cancel();
    m_converting = false;
    m_toConvert.clear();
    m_files.clear();
    m_workers.forget();
    m_display.resetFiles();
    m_firstPage = 0;
    m_crawling = true;
    m_finished = false;
    m_waitingForWorkers = false;
    m_collector.setSite(LocalNaming::directoryUrl(address));
    m_collector.setOverwrite(m_fields.overwrite);
    // The start page is known: a link back to it is no new URL.
    m_queue.markKnown(address);
    newSession();
    processUrl(address, -1);
}

void CrawlerEngine::newSession()
{
    m_fetch.cancel();
    inet::SessionSettings settings;
    settings.agent = AgentPrefix + QString::number(QRandomGenerator::global()->bounded(1, 10001));
    settings.proxy = m_fields.useProxy ? m_fields.proxy.trimmed() : QString();
    m_session = std::make_unique<inet::InternetSession>(*m_driver, settings);
}

void CrawlerEngine::processUrl(const QString &url, int row)
{
    m_busy = true;
    m_currentUrl = url;
    m_currentRow = row;
    m_localPath = m_index.pathFor(url);
    m_collector.makeDirectory(m_localPath);
    // Every file the crawl looks at is listed, also one that an earlier crawl in
    // this window queued (its row went when Start emptied the list).
    m_display.filesChanged({ m_files.add(m_localPath) });
    if (m_firstPage == 0) {
        m_firstPage = 1;
        fetch(url);
        return;
    }
    const QFileInfo local(m_localPath);
    if (local.isFile() && local.size() > 0 && !m_fields.overwrite) {
        // A kept copy is read again from disk instead of fetched, against the
        // address it came from.
        scanCopy(url);
        m_busy = false;
        m_display.changed();
        scheduleCrawlStep();
        return;
    }
    fetch(url);
}

void CrawlerEngine::fetch(const QString &url)
{
    if (m_fields.pictures && m_workers.canStart() && LinkResolver::isDispatchedPicture(fileNameOf(m_localPath))) {
        const int fileRow = m_files.add(m_localPath);
        DownloadJob job;
        job.url = url;
        job.localPath = m_localPath;
        job.proxy = m_fields.useProxy ? m_fields.proxy.trimmed() : QString();
        job.hidden = m_fields.hideWorkers;
        job.validators = copyValidators(url);
        if (m_workers.start(job, fileRow) >= 0) {
            m_files.watch(fileRow);
            m_requested.append(url);
            m_workerUrls.append(url);
            finish(false);
            return;
        }
    }
    fetchInWindow(url);
}

void CrawlerEngine::fetchInWindow(const QString &url)
{
    m_display.clearEvents();
    m_pageFinder.reset();
    m_scanningFetch = scanAllowed(url, m_localPath);
    setStatus(QString());
    m_requested.append(url);
    m_fetch.start(*m_session, url, m_localPath, ++m_context, copyValidators(url));
}

inet::Validators CrawlerEngine::copyValidators(const QString &url) const
{
    // With "pregazi postoječe" a kept copy is asked for only if it has changed.
    inet::Validators validators;
    struct stat copy
    {
    };
    if (!m_fields.overwrite || ::stat(QFile::encodeName(m_localPath).constData(), &copy) != 0 || !S_ISREG(copy.st_mode)
        || copy.st_size == 0)
        return validators;
    // In UTC: a local time would read the time zone anew for each URL.
    validators.modifiedSince = QDateTime::fromSecsSinceEpoch(copy.st_mtime, Qt::UTC);
    validators.etag = m_index.etagOf(url).toUtf8();
    return validators;
}

void CrawlerEngine::onFetchStatus(quintptr context, int code)
{
    const QString text = InternetStatusText::text(code);
    setStatus(text);
    m_display.addEvent({ QString::number(context), QString::number(code), text });
}

void CrawlerEngine::onFetchEnded(const WindowFetch::Outcome &outcome)
{
    finish(true, outcome);
}

void CrawlerEngine::finish(bool inWindow, const WindowFetch::Outcome &outcome)
{
    m_busy = true;
    m_session.reset();
    const int fileRow = m_files.indexOf(m_localPath);
    if (fileRow >= 0)
        m_files.touch(fileRow);
    m_display.filesChanged(m_files.fetchPass());
    m_statisticsShown = true;
    // A page reached through a redirect stands on the address it came from.
    if (inWindow)
        m_index.setSource(m_currentUrl, outcome.finalUrl);
    if (inWindow && outcome.total > 0) {
        // A fresh copy: as the server gave it, its links as they stand on the site.
        m_index.setEtag(m_currentUrl, QString::fromUtf8(outcome.etag));
        m_index.setType(m_currentUrl, QString::fromUtf8(outcome.contentType));
        m_index.setConverted(m_currentUrl, false);
        if (m_fields.preview && isPicture(m_localPath))
            m_display.pictureSaved(m_localPath);
        if (m_pageFinder && scanAllowed(outcome.finalUrl, m_localPath))
            m_collector.collectFound(m_pageFinder->finish(), outcome.finalUrl, m_localPath, false);
    } else {
        // Nothing new came (a copy still current, a worker's file, a failure): the copy on disk is read.
        scanCopy(m_currentUrl);
    }
    m_pageFinder.reset();
    if (m_firstPage == 1)
        m_firstPage = 2;
    // A server's refusal stays a refusal and a current copy is done: only a
    // fetch that may bring data next time is tried again.
    if (inWindow && outcome.total == 0 && !outcome.definitive && !outcome.notModified && m_currentRow >= 0)
        m_queue.retry(m_currentRow);
    m_busy = false;
    m_display.changed();
    scheduleCrawlStep();
}

void CrawlerEngine::scanCopy(const QString &url)
{
    const QString source = m_index.sourceOf(url);
    if (!scanAllowed(source, m_localPath) || !QFileInfo(m_localPath).isFile())
        return;
    m_collector.scanFile(
        m_localPath, source, LinkCollector::kindOf(m_localPath, m_index.typeOf(url)), m_index.isConverted(url));
}

bool CrawlerEngine::scanAllowed(const QString &url, const QString &path) const
{
    // Pages outside the site are mirrored but not followed; pictures hold no links.
    return LinkResolver::isInside(url, m_collector.site()) && !isPicture(path);
}

bool CrawlerEngine::isPicture(const QString &path) const
{
    return LinkResolver::isDispatchedPicture(fileNameOf(path));
}

bool CrawlerEngine::collectEndedWorkers()
{
    const QList<int> ended = m_workers.takeEnded();
    for (const int row : ended) {
        m_files.unwatch(row);
        if (m_fields.preview && QFileInfo(m_files.row(row).path).size() > 0)
            m_display.pictureSaved(m_files.row(row).path);
    }
    return !ended.isEmpty();
}

void CrawlerEngine::onWorkersEnded()
{
    if (collectEndedWorkers())
        m_display.filesChanged(m_files.fetchPass());
    if (m_waitingForWorkers && !m_busy && m_crawling && !m_workers.busy()) {
        m_waitingForWorkers = false;
        crawlStep();
    }
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
        if (m_workers.busy()) {
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
    collectEndedWorkers();
    m_finished = true;
    m_crawling = false;
    m_busy = false;
    m_session.reset();
    m_files.endPass();
    m_statisticsShown = true;
    m_display.resetFiles();
    if (!m_fields.convertLinks) {
        finishCrawl();
        return;
    }
    // "pretvori linkove": every saved page and stylesheet, one a step, so the window follows.
    for (const LocalFileRow &row : m_files.rows()) {
        const QString url = m_index.urlAt(row.path);
        if (!url.isEmpty() && row.bytes > 0 && LinkConverter::isConvertible(row.path, m_index.typeOf(url)))
            m_toConvert.append(url);
    }
    m_converted = 0;
    m_converting = true;
    convertNext();
}

void CrawlerEngine::convertNext()
{
    if (!m_converting)
        return;
    if (m_toConvert.isEmpty()) {
        m_files.endPass();
        m_display.resetFiles();
        finishCrawl();
        return;
    }
    const QString url = m_toConvert.takeFirst();
    if (!m_converter.convert(url))
        addError(int(inet::DownloadFile::WriteFault));
    ++m_converted;
    setStatus(ConvertingStatus.arg(m_converted).arg(m_converted + m_toConvert.size()));
    QMetaObject::invokeMethod(this, &CrawlerEngine::convertNext, Qt::QueuedConnection);
}

void CrawlerEngine::finishCrawl()
{
    m_converting = false;
    m_index.save();
    setStatus(doneText());
    flush();
    emit crawlFinished();
}

void CrawlerEngine::tick()
{
    m_fetch.checkReadLimit(m_readLimit);
    if (!m_crawling)
        return;
    // The fallback: a crawl moves on even if the event that should have moved it was lost.
    collectEndedWorkers();
    m_display.filesChanged(m_files.fetchPass());
    if (!m_busy)
        scheduleCrawlStep();
}

void CrawlerEngine::abortFetch()
{
    m_fetch.abort();
}

void CrawlerEngine::dropConnection()
{
    // The crawl stops first, so the end of the current fetch takes no next step;
    // the fetch itself ends as "Prekid" ends it, keeping what arrived.
    m_crawling = false;
    m_waitingForWorkers = false;
    m_converting = false;
    m_fetch.abort();
    m_busy = false;
    m_session.reset();
    m_index.save();
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
    if (m_fetch.isRunning() && path == m_fetch.localPath())
        return; // the file being written stays
    QFile::remove(path);
    m_files.markDeleted(row);
    m_display.filesChanged({ row });
}

void CrawlerEngine::addError(int code)
{
    if (code == 0)
        return;
    const bool named = code >= InternetErrorNames::FirstCode && code <= InternetErrorNames::LastCode;
    m_display.addError({ ErrorMark, QString::number(code), named ? InternetErrorNames::shownName(code) : QString() });
}

void CrawlerEngine::setStatus(const QString &text)
{
    m_status = text;
    m_display.changed();
}

void CrawlerEngine::flush()
{
    CrawlerDisplay::Figures figures;
    figures.status = m_status;
    figures.bytes = m_fetch.total();
    figures.rate = m_fetch.rate();
    figures.pageCounter = m_pageCounter;
    if (m_statisticsShown)
        figures.header = header();
    figures.running = m_crawling;
    emit updated(m_display.take(figures));
}
