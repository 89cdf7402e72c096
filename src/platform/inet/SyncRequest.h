#pragma once

#include "platform/inet/HeaderBlock.h"
#include "platform/inet/SessionSettings.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include <atomic>

namespace inet {

// One URL opened synchronously: open() and read() block the calling thread (an
// engine's thread, never the GUI's) until they have a result. stop() may be
// called from any thread and makes a blocked call return at once.
class SyncRequest
{
public:
    explicit SyncRequest(const SessionSettings &settings);
    ~SyncRequest();
    SyncRequest(const SyncRequest &) = delete;
    SyncRequest &operator=(const SyncRequest &) = delete;

    // Blocks until the response headers arrived; false with error() set when the
    // URL cannot be opened (or the server answered 400 or above).
    bool open(const QString &url);
    // Blocks until at least one byte arrived: the number of bytes copied (at most
    // maximum), 0 at the end of the body, -1 on a failure (error() says which).
    qint64 read(char *into, qint64 maximum);
    void stop();

    int error() const { return m_error; }
    long responseCode() const { return m_responseCode; }
    void setBufferLimit(qsizetype bytes) { m_bufferLimit = bytes; }

private:
    // Drives the transfer until ready() holds, the transfer ends or stop() was called.
    template<typename Ready>
    void waitFor(Ready ready);
    void reap();
    qsizetype available() const { return m_buffer.size() - m_offset; }
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onData(char *data, size_t size, size_t count, void *self);

    SessionSettings m_settings;
    CURLM *m_multi = nullptr;
    CURL *m_easy = nullptr;
    struct curl_slist *m_headers = nullptr;
    QByteArray m_buffer;
    qsizetype m_offset = 0; // bytes of m_buffer already handed out
    qsizetype m_bufferLimit = 256 * 1024;
    bool m_paused = false;
    bool m_headersDone = false;
    HeaderBlock m_headerBlock;
    bool m_finished = false;
    int m_error = 0;
    long m_responseCode = 0;
    std::atomic<bool> m_stopped{false};
};

} // namespace inet
