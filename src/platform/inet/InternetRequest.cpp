#include "platform/inet/InternetRequest.h"

#include "platform/inet/CurlDriver.h"
#include "platform/inet/CurlSetup.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"

#include <QPointer>

#include <sys/socket.h>

namespace inet {

InternetRequest::InternetRequest(CurlDriver &driver, const SessionSettings &settings, const QString &url,
    quintptr context, const Validators &validators, QObject *parent)
    : QObject(parent)
    , m_driver(driver)
    , m_context(context)
    , m_url(url.trimmed().toUtf8())
{
    ensureCurlInitialised();
    m_setupError = checkUrl(url);
    m_easy = curl_easy_init();
    if (!m_easy) {
        m_setupError = ErrorInternal;
        return;
    }
    configureRequest(m_easy, settings, m_url, &m_headers);
    addValidators(validators);
    curl_easy_setopt(m_easy, CURLOPT_RESOLVER_START_FUNCTION, &InternetRequest::onResolverStart);
    curl_easy_setopt(m_easy, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETFUNCTION, &InternetRequest::onOpenSocket);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, &InternetRequest::onPrerequest);
    curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &InternetRequest::onHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &InternetRequest::onData);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
}

InternetRequest::~InternetRequest()
{
    if (m_easy) {
        m_driver.remove(m_easy);
        curl_easy_cleanup(m_easy);
    }
    curl_slist_free_all(m_headers);
}

void InternetRequest::addValidators(const Validators &validators)
{
    if (validators.modifiedSince.isValid()) {
        curl_easy_setopt(m_easy, CURLOPT_TIMECONDITION, long(CURL_TIMECOND_IFMODSINCE));
        curl_easy_setopt(m_easy, CURLOPT_TIMEVALUE_LARGE, curl_off_t(validators.modifiedSince.toSecsSinceEpoch()));
    }
    if (!validators.etag.isEmpty()) {
        m_headers = curl_slist_append(m_headers, QByteArray("If-None-Match: " + validators.etag).constData());
        curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    }
}

QDateTime InternetRequest::lastModified() const
{
    curl_off_t seconds = -1;
    if (m_easy && curl_easy_getinfo(m_easy, CURLINFO_FILETIME_T, &seconds) == CURLE_OK && seconds >= 0)
        return QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::UTC);
    return {};
}

QByteArray InternetRequest::etag() const
{
    struct curl_header *header = nullptr;
    if (m_easy && curl_easy_header(m_easy, "ETag", 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header)
        return QByteArray(header->value).trimmed();
    return {};
}

QByteArray InternetRequest::contentType() const
{
    char *type = nullptr;
    if (!m_easy || curl_easy_getinfo(m_easy, CURLINFO_CONTENT_TYPE, &type) != CURLE_OK || !type)
        return {};
    QByteArray media(type);
    const qsizetype parameters = media.indexOf(';');
    if (parameters >= 0)
        media.truncate(parameters);
    return media.trimmed().toLower();
}

QString InternetRequest::effectiveUrl() const
{
    char *url = nullptr;
    if (m_easy && curl_easy_getinfo(m_easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        return QString::fromUtf8(url);
    return QString::fromUtf8(m_url);
}

void InternetRequest::begin()
{
    post(EventKind::Status, Status::HandleCreated);
    if (m_setupError) {
        postOpen(m_setupError);
        return;
    }
    const bool ftp = m_url.left(6).toLower() == "ftp://";
    const auto pacing = ftp ? CurlDriver::Pacing::EventsAndLook : CurlDriver::Pacing::Events;
    if (!m_driver.add(
            m_easy, [this](CURLcode result) { onFinished(result); }, pacing))
        postOpen(ErrorInternal);
}

bool InternetRequest::read(qsizetype maximum)
{
    if (m_closed || !m_openReported || m_failed || m_readSize > 0 || maximum <= 0)
        return false;
    m_readSize = maximum;
    if (available() > 0 || m_finished)
        post(EventKind::Progress);
    else
        resume();
    return true;
}

void InternetRequest::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_events.clear();
    if (m_easy)
        m_driver.remove(m_easy);
    QPointer<InternetRequest> alive(this);
    emit status(m_context, Status::HandleClosing);
    if (alive)
        deleteLater();
}

void InternetRequest::post(EventKind kind, int code)
{
    if (m_closed)
        return;
    m_events.append({ kind, code });
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &InternetRequest::flush, Qt::QueuedConnection);
}

void InternetRequest::flush()
{
    m_flushQueued = false;
    QPointer<InternetRequest> alive(this);
    while (alive && !m_closed && !m_events.isEmpty()) {
        const Event event = m_events.takeFirst();
        if (!deliver(event))
            return;
    }
}

// False when the receiver closed or deleted the request.
bool InternetRequest::deliver(const Event &event)
{
    QPointer<InternetRequest> alive(this);
    switch (event.kind) {
    case EventKind::Status:
        emit status(m_context, event.code);
        break;
    case EventKind::OpenDone:
        m_openReported = true;
        m_failed = event.code != 0;
        emit status(m_context, Status::RequestComplete);
        if (alive && !m_closed)
            emit completed(m_context, AsyncResult { event.code ? 0 : handle(), event.code, {} });
        break;
    case EventKind::Progress:
        return progress();
    }
    return alive && !m_closed;
}

bool InternetRequest::progress()
{
    QPointer<InternetRequest> alive(this);
    if (!m_openReported)
        return true;
    if (m_readSize > 0 && (available() > 0 || m_finished)) {
        AsyncResult result;
        if (available() > 0) {
            result.data = take(m_readSize);
            result.result = quintptr(result.data.size());
        } else {
            result.error = m_error;
            m_failed = m_error != 0;
            m_endRead = !m_error;
        }
        m_readSize = 0;
        if (!result.data.isEmpty()) {
            emit status(m_context, Status::ReceivingResponse);
            if (alive && !m_closed)
                emit status(m_context, Status::ResponseReceived);
        }
        if (alive && !m_closed)
            emit status(m_context, Status::RequestComplete);
        if (alive && !m_closed)
            emit completed(m_context, result);
        if (!alive || m_closed)
            return false;
        resume();
    }
    if (m_finished && !m_error && !available() && !m_endReported) {
        // A read issued at the very end first completes with 0 bytes.
        if (m_readSize > 0 && !m_endRead) {
            post(EventKind::Progress);
            return alive && !m_closed;
        }
        m_endReported = true;
        emit status(m_context, Status::ClosingConnection);
        if (alive && !m_closed)
            emit status(m_context, Status::ConnectionClosed);
    }
    return alive && !m_closed;
}

void InternetRequest::postOpen(int error)
{
    if (m_openPosted)
        return;
    m_openPosted = true;
    if (error)
        m_error = error;
    post(EventKind::OpenDone, error);
}

void InternetRequest::onFinished(CURLcode result)
{
    m_finished = true;
    noteSent();
    const int error = transferError(m_easy, result);
    if (error)
        m_error = error;
    m_definitive = (error >= 400 && error < 500) || result == CURLE_TOO_MANY_REDIRECTS;
    postOpen(error);
    post(EventKind::Progress);
}

QByteArray InternetRequest::take(qsizetype maximum)
{
    const qsizetype count = qMin(maximum, available());
    QByteArray data(m_buffer.front(), count);
    m_buffer.consume(count);
    return data;
}

void InternetRequest::resume()
{
    if (!m_paused || m_finished || available() >= qMax(m_bufferLimit, m_readSize))
        return;
    m_paused = false;
    // Unpausing may hand over the data libcurl held back, through onData.
    curl_easy_pause(m_easy, CURLPAUSE_CONT);
    m_driver.kick();
}

void InternetRequest::noteSent()
{
    if (!m_sending)
        return;
    m_sending = false;
    post(EventKind::Status, Status::RequestSent);
}

int InternetRequest::onResolverStart(void *, void *, void *self)
{
    auto *request = static_cast<InternetRequest *>(self);
    request->m_resolving = true;
    request->post(EventKind::Status, Status::ResolvingName);
    return 0;
}

curl_socket_t InternetRequest::onOpenSocket(void *self, curlsocktype purpose, struct curl_sockaddr *address)
{
    auto *request = static_cast<InternetRequest *>(self);
    if (purpose == CURLSOCKTYPE_IPCXN && !request->m_connecting) {
        if (request->m_resolving) {
            request->m_resolving = false;
            request->post(EventKind::Status, Status::NameResolved);
        }
        request->m_connecting = true;
        request->post(EventKind::Status, Status::ConnectingToServer);
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int InternetRequest::onPrerequest(void *self, char *, char *, int, int)
{
    auto *request = static_cast<InternetRequest *>(self);
    if (request->m_resolving) {
        request->m_resolving = false;
        request->post(EventKind::Status, Status::NameResolved);
    }
    if (request->m_connecting) {
        request->m_connecting = false;
        request->post(EventKind::Status, Status::ConnectedToServer);
    }
    request->m_sending = true;
    request->post(EventKind::Status, Status::SendingRequest);
    return CURL_PREREQFUNC_OK;
}

size_t InternetRequest::onHeader(char *data, size_t size, size_t count, void *self)
{
    auto *request = static_cast<InternetRequest *>(self);
    request->noteSent();
    if (!request->m_receivingHeaders) {
        request->m_receivingHeaders = true;
        request->post(EventKind::Status, Status::ReceivingResponse);
    }
    const size_t length = size * count;
    switch (request->m_headerBlock.line(request->m_easy, QByteArrayView(data, qsizetype(length)))) {
    case HeaderBlock::Outcome::Pending:
        break;
    case HeaderBlock::Outcome::Redirect:
        // The redirect's own headers have arrived too: 41 closes their 40 before 110.
        request->m_receivingHeaders = false;
        request->post(EventKind::Status, Status::ResponseReceived);
        request->post(EventKind::Status, Status::Redirect);
        break;
    case HeaderBlock::Outcome::Final:
        curl_easy_getinfo(request->m_easy, CURLINFO_RESPONSE_CODE, &request->m_responseCode);
        request->post(EventKind::Status, Status::ResponseReceived);
        if (request->m_responseCode < 400)
            request->postOpen(0);
        break;
    }
    return length;
}

size_t InternetRequest::onData(char *data, size_t size, size_t count, void *self)
{
    auto *request = static_cast<InternetRequest *>(self);
    const size_t length = size * count;
    request->noteSent();
    if (!request->m_openPosted) {
        curl_easy_getinfo(request->m_easy, CURLINFO_RESPONSE_CODE, &request->m_responseCode);
        request->postOpen(0);
    }
    if (request->available() > 0 && request->available() >= qMax(request->m_bufferLimit, request->m_readSize)) {
        request->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request->m_buffer.append(data, qsizetype(length));
    if (request->m_readSize > 0)
        request->post(EventKind::Progress);
    return length;
}

} // namespace inet
