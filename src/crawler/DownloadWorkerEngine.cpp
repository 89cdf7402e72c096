#include "crawler/DownloadWorkerEngine.h"

#include "platform/TrailingBlanks.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/InternetRequest.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/ReadSize.h"

#include <QRandomGenerator>
#include <QTimer>

namespace {

constexpr int TitleTail = 35;
const QString TitleEllipsis = QStringLiteral("... ");
const QString AttemptMark = QStringLiteral(" #");
const QString AgentPrefix = QStringLiteral("HTTP_");

} // namespace

DownloadWorkerEngine::DownloadWorkerEngine(
    int index, const DownloadJob &job, const DownloadWorkerOptions &options, QObject *parent)
    : ToolEngine(parent)
    , m_index(index)
    , m_job(job)
    , m_options(options)
{ }

DownloadWorkerEngine::~DownloadWorkerEngine()
{
    closeRequest();
    // A session still waiting for its deferred delete uses the driver, which
    // as the older child would otherwise be destroyed first.
    qDeleteAll(findChildren<inet::InternetSession *>(Qt::FindDirectChildrenOnly));
}

QString DownloadWorkerEngine::titleFor(const QString &url, int attempt)
{
    const QString clipped = withoutTrailingBlanks(url);
    QString title = clipped.size() >= TitleTail ? TitleEllipsis + clipped.right(TitleTail) : clipped;
    if (attempt > 1)
        title += AttemptMark + QString::number(attempt);
    return title;
}

QString DownloadWorkerEngine::agentName(int index, int number)
{
    return AgentPrefix + QChar(u'A' + index) + QString::number(number);
}

void DownloadWorkerEngine::onStart()
{
    m_driver = new inet::CurlDriver(this);
    m_timer = new QTimer(this);
    m_timer->setInterval(m_options.tick);
    connect(m_timer, &QTimer::timeout, this, &DownloadWorkerEngine::onTick);
    m_timer->start();
    m_statusShown = new QTimer(this);
    m_statusShown->setSingleShot(true);
    m_statusShown->setInterval(m_options.statusInterval);
    connect(m_statusShown, &QTimer::timeout, this, &DownloadWorkerEngine::emitStatus);
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    m_wait->setInterval(m_options.waitForNext);
    connect(m_wait, &QTimer::timeout, this, &DownloadWorkerEngine::endWaiting);
    startJob(m_job);
}

void DownloadWorkerEngine::onStop()
{
    m_done = true;
    closeRequest();
    m_file.close();
    if (m_timer)
        m_timer->stop();
    // A job handed over as the window closed is not fetched: its mark goes back.
    if (const std::optional<DownloadJob> handed = DownloadWorkers::takeJob(m_index, this))
        InstanceRegistry::release(DownloadWorkers::procedureName(m_index), handed->claim);
    releaseMark();
}

void DownloadWorkerEngine::startJob(const DownloadJob &job)
{
    m_job = job;
    m_attempts = 0;
    m_done = false;
    m_definitive = false;
    emit titleChanged(titleFor(m_job.url, 1));
    emit hintChanged(m_job.url);
    emit localPathChanged(QString());
    startAttempt();
}

void DownloadWorkerEngine::jobDone()
{
    m_done = true;
    // Waiting first, then free: a Crawler that claims the mark at once finds this window.
    DownloadWorkers::waitForJob(m_index, this, [this] { takeHandedJob(); });
    releaseMark();
    m_wait->start();
}

void DownloadWorkerEngine::takeHandedJob()
{
    if (const std::optional<DownloadJob> job = DownloadWorkers::takeJob(m_index, this)) {
        m_wait->stop();
        startJob(*job);
    }
}

void DownloadWorkerEngine::endWaiting()
{
    if (const std::optional<DownloadJob> job = DownloadWorkers::takeJob(m_index, this)) {
        startJob(*job);
        return;
    }
    emit closeRequested();
}

void DownloadWorkerEngine::releaseMark()
{
    InstanceRegistry::release(DownloadWorkers::procedureName(m_index), std::exchange(m_job.claim, 0));
}

void DownloadWorkerEngine::startAttempt()
{
    if (m_done)
        return;
    inet::SessionSettings settings;
    settings.agent = agentName(m_index, int(QRandomGenerator::global()->bounded(1, 10001)));
    settings.proxy = m_job.proxy.trimmed();
    m_session = new inet::InternetSession(*m_driver, settings, this);
    m_state = 0;
    m_pending.clear();
    m_total = 0;
    m_status.clear();
    showStatus();
    m_readStart.start();
    const quintptr context = quintptr(m_attempts + 1);
    m_request = m_session->openUrl(m_job.url, context, m_job.validators);
    connect(m_request, &inet::InternetRequest::status, this, &DownloadWorkerEngine::onStatus);
    connect(m_request, &inet::InternetRequest::completed, this, &DownloadWorkerEngine::onCompleted);
}

void DownloadWorkerEngine::onStatus(quintptr, int code)
{
    m_status.notify(code);
    showStatus();
    if (code == inet::Status::ConnectionClosed && m_state >= 1) {
        m_state = 5;
        advance();
    }
}

void DownloadWorkerEngine::onCompleted(quintptr, const inet::AsyncResult &result)
{
    if (result.error) {
        // A server's refusal stays a refusal: asking again would only repeat it.
        m_definitive = m_request && m_request->failedDefinitively();
        errorStep(result.error);
        return;
    }
    if (m_state == 0) {
        m_state = 1;
    } else if (m_state == 3) {
        m_pending = result.data;
        m_state = result.data.isEmpty() ? 5 : 4;
    }
    advance();
}

void DownloadWorkerEngine::advance()
{
    for (;;) {
        switch (m_state) {
        case 1:
            if (m_request->notModified()) {
                // The copy is current: it stays, and there is nothing to try again.
                m_definitive = true;
                finishAttempt();
                return;
            }
            m_lastModified = m_request->lastModified();
            if (!m_file.create(m_job.localPath)) {
                errorStep(m_file.error());
                return;
            }
            m_state = 2;
            break;
        case 2:
            m_state = 3;
            m_readStart.start();
            m_request->read(inet::ReadSize);
            return;
        case 4:
            if (!writePending())
                return;
            m_state = 2;
            break;
        case 5:
            if (!writePending())
                return;
            if (!m_file.close(m_lastModified)) {
                errorStep(m_file.error());
                return;
            }
            finishAttempt();
            return;
        default:
            return;
        }
    }
}

bool DownloadWorkerEngine::writePending()
{
    if (m_pending.isEmpty())
        return true;
    const QByteArray data = std::exchange(m_pending, {});
    if (!m_file.write(data)) {
        errorStep(m_file.error());
        return false;
    }
    if (m_total == 0)
        emit localPathChanged(m_job.localPath);
    m_total += data.size();
    return true;
}

void DownloadWorkerEngine::errorStep(int code)
{
    m_status.setError(code);
    showStatus();
    m_file.close();
    finishAttempt();
}

void DownloadWorkerEngine::finishAttempt()
{
    if (m_done)
        return;
    m_state = 0;
    m_file.close();
    closeRequest();
    ++m_attempts;
    if (m_attempts < MaxAttempts && m_total == 0 && !m_definitive) {
        emit titleChanged(titleFor(m_job.url, m_attempts + 1));
        // The next attempt starts from the event loop, after every caller of this step returned.
        QMetaObject::invokeMethod(this, &DownloadWorkerEngine::startAttempt, Qt::QueuedConnection);
        return;
    }
    jobDone();
}

void DownloadWorkerEngine::closeRequest()
{
    if (m_request) {
        // The worker's own close says nothing the user needs: the status keeps
        // what ended the attempt.
        m_request->disconnect(this);
        m_request->close();
        m_request = nullptr;
    }
    if (m_session) {
        m_session->deleteLater();
        m_session = nullptr;
    }
}

void DownloadWorkerEngine::abort()
{
    // Between attempts (a second press before the next one started) there is
    // nothing to end: counting it would start two attempts at once.
    if (m_done || !m_request)
        return;
    writePending();
    finishAttempt();
}

void DownloadWorkerEngine::onTick()
{
    if (!m_readStart.hasExpired(m_options.readLimit.count()))
        return;
    if (m_state == 3) {
        m_state = 5;
        advance();
    } else if (m_state == 0 && m_request) {
        // A server that never answers would otherwise hold the worker for ever.
        errorStep(inet::ErrorTimeout);
    }
}

void DownloadWorkerEngine::showStatus()
{
    // A small file passes through a dozen texts in a millisecond: the window is
    // told at once, then at most once per interval, and always the last text.
    m_statusPending = true;
    if (m_options.statusInterval.count() == 0 || !m_statusShown->isActive())
        emitStatus();
}

void DownloadWorkerEngine::emitStatus()
{
    if (!m_statusPending)
        return;
    m_statusPending = false;
    emit statusChanged(m_status.shown());
    m_statusShown->start();
}
