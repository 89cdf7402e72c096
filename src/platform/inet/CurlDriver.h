#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <curl/curl.h>

#include <functional>

class QSocketNotifier;

namespace inet {

// One libcurl multi handle driven by the event loop of the thread the driver lives
// on (an engine's thread). Every transfer of one engine goes through its driver, so
// they share one connection cache and one name cache: consecutive requests to one
// server reuse a kept-alive connection. libcurl's callbacks of these transfers all
// run on this thread.
class CurlDriver : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(CURLcode result)>;

    // How libcurl is moved on: by the events of the sockets and timers it asks
    // for, or by those and a look every few milliseconds as well. libcurl 7.88
    // does not always ask to watch an FTP data connection while it is being set
    // up (nor, at times, the control connection), so an FTP transfer left to the
    // events alone can wait for ever.
    enum class Pacing { Events, EventsAndLook };

    explicit CurlDriver(QObject *parent = nullptr);
    ~CurlDriver() override;
    CurlDriver(const CurlDriver &) = delete;
    CurlDriver &operator=(const CurlDriver &) = delete;

    // Starts a configured easy handle; done runs on this thread when it ends (not
    // when it is removed first). The caller keeps ownership of the handle.
    // Neither add() nor remove() may be called from inside a libcurl callback of
    // this driver's transfers (libcurl forbids it): defer such a call with a
    // queued invocation. Completions run outside the callbacks and may call both.
    bool add(CURL *easy, Completion done, Pacing pacing = Pacing::Events);
    // Stops a transfer at once; its completion never runs.
    void remove(CURL *easy);
    bool contains(CURL *easy) const { return m_transfers.contains(easy); }
    // Lets libcurl act on a transfer that was unpaused (curl_easy_pause) outside
    // one of its callbacks.
    void kick();

    CURLM *multi() const { return m_multi; }

private:
    struct Watch
    {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
    };

    static int onSocket(CURL *easy, curl_socket_t socket, int what, void *driver, void *);
    static int onTimer(CURLM *, long timeoutMs, void *driver);
    void watch(curl_socket_t socket, int what);
    void unwatch(curl_socket_t socket);
    void act(curl_socket_t socket, int events);
    void look();
    void forget(CURL *easy);
    void reapFinished();

    CURLM *m_multi = nullptr;
    QTimer m_timer;
    QTimer m_look;
    QSet<CURL *> m_looked; // the transfers paced with a periodic look
    QHash<curl_socket_t, Watch> m_watches;
    QHash<CURL *, Completion> m_transfers;
    bool m_acting = false;
};

// libcurl's process-wide set-up, done once before the first handle is made.
void ensureCurlInitialised();

} // namespace inet
