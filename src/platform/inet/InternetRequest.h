#pragma once

#include "platform/inet/AsyncResult.h"
#include "platform/inet/HeaderBlock.h"
#include "platform/inet/ReceiveBuffer.h"
#include "platform/inet/Validators.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <curl/curl.h>

namespace inet {

class CurlDriver;
struct SessionSettings;

// One opened URL of an asynchronous session. Notifications and completions are
// emitted on the driver's thread, never from inside libcurl, so a receiver may
// read, close or open other requests from its slot. The sequence:
//  60 when the handle is created;
//  10/11 around a name look-up (none when the name is cached);
//  20/21 around a new connection (none when a kept-alive one is reused);
//  30/31 around sending the request;
//  40/41 when the response headers arrive, a redirect's too (then 110 as it
//  is followed, and the steps above again for the next request);
//  100 once when the URL is open (result = handle()) or has failed (error);
//  then for each read: 40/41 when it completes with data, and 100 with the
//  bytes read (0 at the end of the body) or the error;
//  50/51 once the body has ended and every byte of it has been read;
//  70 from close(), the last notification.
// Received data is buffered up to max(bufferLimit, what the reader asked for);
// beyond that the transfer is paused until the next read.
class InternetRequest : public QObject
{
    Q_OBJECT

public:
    ~InternetRequest() override;

    quintptr context() const { return m_context; }
    quintptr handle() const { return quintptr(this); }
    bool isOpen() const { return m_openReported && !m_failed; }

    // Asks for up to maximum bytes; completes with status 100 (AsyncResult with
    // the data, or the error). One read at a time: a read issued while one is
    // pending, or before the URL is open, is ignored and returns false.
    bool read(qsizetype maximum);
    // Ends the request at once: 70 is emitted from inside this call, and nothing
    // after it. The object is deleted later.
    void close();

    void setBufferLimit(qsizetype bytes) { m_bufferLimit = bytes; }
    // The HTTP status of the final response (0 before it, or for ftp).
    long responseCode() const { return m_responseCode; }
    // Where the request ended up after the redirects followed so far: the
    // address a page's relative references stand on.
    QString effectiveUrl() const;
    // The request failed with an answer that asking again will not change: the
    // server refused it (400 to 499) or its redirects run in a loop.
    bool failedDefinitively() const { return m_definitive; }
    // The server's answer to a conditional request: the caller's copy is current.
    bool notModified() const { return m_responseCode == 304; }
    // Of the final response: Last-Modified (invalid when not given), ETag as
    // sent, and the media type of Content-Type without its parameters (lower case).
    QDateTime lastModified() const;
    QByteArray etag() const;
    QByteArray contentType() const;

signals:
    void status(quintptr context, int code);
    void completed(quintptr context, const inet::AsyncResult &result);

private:
    friend class InternetSession;
    InternetRequest(CurlDriver &driver, const SessionSettings &settings, const QString &url, quintptr context,
        const Validators &validators, QObject *parent);

    // Progress: look again whether the pending read can complete and whether
    // the end of the body can be reported.
    enum class EventKind { Status, OpenDone, Progress };
    struct Event
    {
        EventKind kind;
        int code = 0;
    };

    void addValidators(const Validators &validators);
    void begin();
    void post(EventKind kind, int code = 0);
    void flush();
    bool deliver(const Event &event);
    bool progress();
    void noteSent();
    void postOpen(int error);
    void onFinished(CURLcode result);
    qsizetype available() const { return m_buffer.available(); }
    QByteArray take(qsizetype maximum);
    void resume();

    static int onResolverStart(void *, void *, void *self);
    static curl_socket_t onOpenSocket(void *self, curlsocktype purpose, struct curl_sockaddr *address);
    static int onPrerequest(void *self, char *, char *, int, int);
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onData(char *data, size_t size, size_t count, void *self);

    CurlDriver &m_driver;
    CURL *m_easy = nullptr;
    struct curl_slist *m_headers = nullptr;
    quintptr m_context = 0;
    QByteArray m_url;
    int m_setupError = 0;
    HeaderBlock m_headerBlock;

    QList<Event> m_events;
    bool m_flushQueued = false;

    ReceiveBuffer m_buffer;
    qsizetype m_bufferLimit = 256 * 1024;
    qsizetype m_readSize = 0; // of the pending read; 0: none pending
    bool m_paused = false;

    bool m_resolving = false;
    bool m_connecting = false;
    bool m_sending = false;
    bool m_receivingHeaders = false;
    bool m_openReported = false;
    bool m_openPosted = false;
    bool m_finished = false;
    bool m_failed = false; // the error has been delivered
    bool m_endReported = false;
    bool m_endRead = false; // a read completed with 0 bytes at the end
    bool m_closed = false;
    int m_error = 0;
    long m_responseCode = 0;
    bool m_definitive = false;
};

} // namespace inet
