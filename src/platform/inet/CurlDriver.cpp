// The periodic look needs curl_multi_socket_all, which libcurl marks as
// deprecated: it is the one call that both drives every transfer and refreshes
// the sockets each one waits on.
#define CURL_DISABLE_DEPRECATION
#include "platform/inet/CurlDriver.h"

#include <QSocketNotifier>

#include <mutex>

namespace inet {

namespace {

constexpr std::chrono::milliseconds LookInterval { 20 };

} // namespace

void ensureCurlInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlDriver::CurlDriver(QObject *parent)
    : QObject(parent)
{
    ensureCurlInitialised();
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlDriver::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlDriver::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    m_look.setInterval(LookInterval);
    connect(&m_look, &QTimer::timeout, this, &CurlDriver::look);
}

CurlDriver::~CurlDriver()
{
    const auto easies = m_transfers.keys();
    for (CURL *easy : easies)
        curl_multi_remove_handle(m_multi, easy);
    m_transfers.clear();
    curl_multi_cleanup(m_multi);
    for (const Watch &watch : std::as_const(m_watches)) {
        delete watch.read;
        delete watch.write;
    }
}

bool CurlDriver::add(CURL *easy, Completion done, Pacing pacing)
{
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK)
        return false;
    m_transfers.insert(easy, std::move(done));
    if (pacing == Pacing::EventsAndLook) {
        m_looked.insert(easy);
        if (!m_look.isActive())
            m_look.start();
    }
    return true;
}

void CurlDriver::remove(CURL *easy)
{
    if (m_transfers.remove(easy)) {
        forget(easy);
        curl_multi_remove_handle(m_multi, easy);
    }
}

void CurlDriver::forget(CURL *easy)
{
    if (m_looked.remove(easy) && m_looked.isEmpty())
        m_look.stop();
}

void CurlDriver::kick()
{
    // A zero timeout makes libcurl look at every transfer, paused ones included.
    m_timer.start(0);
}

int CurlDriver::onSocket(CURL *, curl_socket_t socket, int what, void *driver, void *)
{
    auto *self = static_cast<CurlDriver *>(driver);
    if (what == CURL_POLL_REMOVE)
        self->unwatch(socket);
    else
        self->watch(socket, what);
    return 0;
}

int CurlDriver::onTimer(CURLM *, long timeoutMs, void *driver)
{
    auto *self = static_cast<CurlDriver *>(driver);
    if (timeoutMs < 0)
        self->m_timer.stop();
    else
        self->m_timer.start(int(timeoutMs));
    return 0;
}

void CurlDriver::watch(curl_socket_t socket, int what)
{
    Watch &watch = m_watches[socket];
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !watch.read) {
        watch.read = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read, this);
        connect(watch.read, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_IN); });
    }
    if (wantWrite && !watch.write) {
        watch.write = new QSocketNotifier(qintptr(socket), QSocketNotifier::Write, this);
        connect(watch.write, &QSocketNotifier::activated, this, [this, socket] { act(socket, CURL_CSELECT_OUT); });
    }
    if (watch.read)
        watch.read->setEnabled(wantRead);
    if (watch.write)
        watch.write->setEnabled(wantWrite);
}

void CurlDriver::unwatch(curl_socket_t socket)
{
    const auto found = m_watches.find(socket);
    if (found == m_watches.end())
        return;
    // The notifier may be the one whose signal is running now: disable it at once
    // (libcurl may reuse the descriptor right away) and delete it later.
    for (QSocketNotifier *notifier : { found->read, found->write }) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->disconnect(this);
            notifier->deleteLater();
        }
    }
    m_watches.erase(found);
}

void CurlDriver::act(curl_socket_t socket, int events)
{
    // A completion may start a new transfer, which can call back into libcurl;
    // curl_multi_socket_action must not be re-entered from its own callbacks.
    if (m_acting) {
        kick();
        return;
    }
    m_acting = true;
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    m_acting = false;
    reapFinished();
}

void CurlDriver::look()
{
    if (m_acting)
        return;
    m_acting = true;
    int running = 0;
    curl_multi_socket_all(m_multi, &running);
    m_acting = false;
    reapFinished();
}

void CurlDriver::reapFinished()
{
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = m_transfers.find(easy);
        if (found == m_transfers.end())
            continue;
        Completion done = std::move(found.value());
        m_transfers.erase(found);
        forget(easy);
        curl_multi_remove_handle(m_multi, easy);
        if (done)
            done(result);
    }
}

} // namespace inet
