#include "platform/inet/SyncRequest.h"

#include "platform/inet/CurlDriver.h"
#include "platform/inet/CurlSetup.h"
#include "platform/inet/InetError.h"

#include <QDeadlineTimer>

#include <cstring>

namespace inet {

namespace {

// The longest a wait sleeps before it looks again at its own conditions.
constexpr int PollMilliseconds = 1000;

} // namespace

SyncRequest::SyncRequest(const SessionSettings &settings)
    : m_settings(settings)
{
    ensureCurlInitialised();
    m_multi = curl_multi_init();
}

SyncRequest::~SyncRequest()
{
    if (m_easy) {
        curl_multi_remove_handle(m_multi, m_easy);
        curl_easy_cleanup(m_easy);
    }
    curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);
}

bool SyncRequest::start(const QString &url)
{
    if (m_easy)
        return false;
    m_error = checkUrl(url);
    if (m_error)
        return false;
    m_easy = curl_easy_init();
    if (!m_easy || !m_multi) {
        m_error = ErrorInternal;
        return false;
    }
    configureRequest(m_easy, m_settings, url.trimmed().toUtf8(), &m_headers);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &SyncRequest::onHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &SyncRequest::onData);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
        m_error = ErrorInternal;
        return false;
    }
    return true;
}

SyncRequest::Opening SyncRequest::waitOpen(std::chrono::milliseconds limit)
{
    const auto open = [this] { return (m_headersDone && m_responseCode < 400) || m_buffer.available() > 0; };
    if (m_easy)
        waitFor(open, limit);
    if (m_easy && open())
        return Opening::Open;
    if (m_error || !m_easy)
        return Opening::Failed;
    return m_finished ? Opening::Open : Opening::Pending;
}

qint64 SyncRequest::read(char *into, qint64 maximum, std::chrono::milliseconds limit)
{
    if (!m_easy || maximum <= 0)
        return m_error ? Failed : 0;
    waitFor([this] { return m_buffer.available() > 0; }, limit);
    const qsizetype count = qMin(qsizetype(maximum), m_buffer.available());
    if (count == 0)
        return m_error ? Failed : m_finished ? 0 : Pending;
    std::memcpy(into, m_buffer.front(), size_t(count));
    m_buffer.consume(count);
    if (m_paused && m_buffer.available() < BufferLimit) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
    }
    return count;
}

qint64 SyncRequest::announcedSize() const
{
    curl_off_t size = -1;
    if (!m_easy || curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK)
        return -1;
    return size < 0 ? -1 : qint64(size);
}

template <typename Ready> void SyncRequest::waitFor(Ready ready, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!ready() && !m_finished) {
        int running = 0;
        curl_multi_perform(m_multi, &running);
        reap();
        if (ready() || m_finished || deadline.hasExpired())
            return;
        curl_multi_poll(m_multi, nullptr, 0, int(qMin<qint64>(PollMilliseconds, deadline.remainingTime())), nullptr);
    }
}

void SyncRequest::reap()
{
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != m_easy)
            continue;
        m_finished = true;
        m_error = transferError(m_easy, message->data.result);
    }
}

size_t SyncRequest::onHeader(char *data, size_t size, size_t count, void *self)
{
    auto *request = static_cast<SyncRequest *>(self);
    const size_t length = size * count;
    if (request->m_headerBlock.line(request->m_easy, QByteArrayView(data, qsizetype(length)))
        == HeaderBlock::Outcome::Final) {
        request->m_headersDone = true;
        curl_easy_getinfo(request->m_easy, CURLINFO_RESPONSE_CODE, &request->m_responseCode);
    }
    return length;
}

size_t SyncRequest::onData(char *data, size_t size, size_t count, void *self)
{
    auto *request = static_cast<SyncRequest *>(self);
    if (request->m_buffer.available() >= BufferLimit) {
        request->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request->m_buffer.append(data, qsizetype(size * count));
    return size * count;
}

} // namespace inet
