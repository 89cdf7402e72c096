#pragma once

#include "platform/inet/HeaderBlock.h"
#include "platform/inet/ReceiveBuffer.h"
#include "platform/inet/SessionSettings.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include <chrono>

namespace inet {

// One URL fetched synchronously: open() and read() block the calling thread (an
// engine's thread, never the GUI's) until they have a result or their wait
// limit has passed, so an engine can go back to its event loop between reads.
class SyncRequest
{
public:
    explicit SyncRequest(const SessionSettings &settings);
    ~SyncRequest();
    SyncRequest(const SyncRequest &) = delete;
    SyncRequest &operator=(const SyncRequest &) = delete;

    enum class Opening { Open, Pending, Failed };
    static constexpr qint64 Failed = -1;
    static constexpr qint64 Pending = -2;

    // Starts the request; false with error() set for a URL the client does not open.
    bool start(const QString &url);
    // Waits up to limit for the response headers: Failed (error() says why) when
    // the URL cannot be opened or the server answered 400 or above. A response
    // that began is Open even when its end already failed: read() hands out what
    // arrived before it reports the failure.
    Opening waitOpen(std::chrono::milliseconds limit);
    // Waits up to limit for data: the number of bytes copied (at most maximum),
    // 0 at the end of the body, Failed, or Pending when nothing came in time.
    qint64 read(char *into, qint64 maximum, std::chrono::milliseconds limit);

    int error() const { return m_error; }
    // The size of the body the server announced (Content-Length, or an FTP
    // server's SIZE), once the request is open; -1 when it announced none.
    qint64 announcedSize() const;

private:
    // Drives the transfer until ready() holds, the transfer ends or the limit passed.
    template <typename Ready> void waitFor(Ready ready, std::chrono::milliseconds limit);
    void reap();
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onData(char *data, size_t size, size_t count, void *self);

    SessionSettings m_settings;
    CURLM *m_multi = nullptr;
    CURL *m_easy = nullptr;
    struct curl_slist *m_headers = nullptr;
    ReceiveBuffer m_buffer;
    static constexpr qsizetype BufferLimit = 256 * 1024;
    bool m_paused = false;
    bool m_headersDone = false;
    HeaderBlock m_headerBlock;
    bool m_finished = false;
    int m_error = 0;
    long m_responseCode = 0;
};

} // namespace inet
