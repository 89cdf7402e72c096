#include "crawler/WindowFetch.h"

#include "platform/inet/AsyncResult.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/InternetRequest.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/ReadSize.h"

#include <QDir>
#include <QFileInfo>

WindowFetch::WindowFetch(QObject *parent)
    : QObject(parent)
{ }

WindowFetch::~WindowFetch()
{
    cancel();
}

void WindowFetch::start(inet::InternetSession &session, const QString &url, const QString &localPath, quintptr context,
    const inet::Validators &validators)
{
    cancel();
    m_localPath = localPath;
    m_context = context;
    m_state = WaitingForHandle;
    m_running = true;
    m_outcome = {};
    m_outcome.finalUrl = url;
    m_lastModified = {};
    m_total = 0;
    m_rate = 0;
    m_fetchClock.start();
    m_request = session.openUrl(url, context, validators);
    connect(m_request, &inet::InternetRequest::status, this, &WindowFetch::onStatus);
    connect(m_request, &inet::InternetRequest::completed, this, &WindowFetch::onCompleted);
}

void WindowFetch::cancel()
{
    m_running = false;
    m_state = WaitingForHandle;
    closeRequest();
    m_file.close();
}

void WindowFetch::checkReadLimit(std::chrono::milliseconds limit)
{
    if (!m_running)
        return;
    const bool waiting = m_state == WaitingForHandle && m_fetchClock.elapsed() >= limit.count();
    const bool stalled = m_state == ReadPending && m_readClock.elapsed() >= limit.count();
    if (!waiting && !stalled)
        return;
    emit requestFailed(inet::ErrorTimeout);
    end();
}

void WindowFetch::onStatus(quintptr context, int code)
{
    emit status(context, code);
    if (code == inet::Status::ConnectionClosed && m_state != WaitingForHandle)
        end();
}

void WindowFetch::onCompleted(quintptr, const inet::AsyncResult &result)
{
    if (result.error != 0) {
        m_outcome.definitive = m_request && m_request->failedDefinitively();
        emit requestFailed(result.error);
        end();
        return;
    }
    if (m_state == WaitingForHandle) {
        m_state = HandleArrived;
        m_outcome.finalUrl = m_request->effectiveUrl();
        m_outcome.etag = m_request->etag();
        m_outcome.contentType = m_request->contentType();
        m_lastModified = m_request->lastModified();
        m_fetchClock.start();
        if (m_request->notModified()) {
            // The copy is current: it stays as it is, untouched.
            m_outcome.notModified = true;
            end();
            return;
        }
        QDir().mkpath(QFileInfo(m_localPath).path());
        if (!m_file.create(m_localPath)) {
            emit fileFailed(m_file.error());
            end();
            return;
        }
        readNext();
        return;
    }
    if (m_state != ReadPending)
        return;
    if (result.data.isEmpty()) {
        end();
        return;
    }
    m_state = DataArrived;
    if (!m_file.write(result.data)) {
        emit fileFailed(m_file.error());
        end();
        return;
    }
    m_total += result.data.size();
    updateRate();
    emit received(result.data);
    emit progressed();
    readNext();
}

void WindowFetch::readNext()
{
    m_state = ReadReady;
    m_readClock.start();
    m_state = ReadPending;
    if (!m_request || !m_request->read(inet::ReadSize))
        end();
}

void WindowFetch::updateRate()
{
    const qint64 hundredths = std::max<qint64>(1, m_fetchClock.elapsed() / 10);
    m_rate = double(m_total / hundredths) / 10.0;
}

void WindowFetch::end()
{
    if (!m_running)
        return;
    m_running = false;
    m_state = Ended;
    if (m_file.isOpen() && !m_file.close(m_lastModified))
        emit fileFailed(m_file.error());
    updateRate();
    closeRequest();
    m_outcome.total = m_total;
    emit ended(m_outcome);
}

void WindowFetch::closeRequest()
{
    if (!m_request)
        return;
    inet::InternetRequest *request = m_request;
    m_request = nullptr;
    QObject::disconnect(request, nullptr, this, nullptr);
    request->close();
}
