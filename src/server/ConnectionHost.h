#pragma once

#include "server/Response.h"

#include <QByteArrayView>

class HttpConnection;

// What a connection needs from its server: the answer to each request, the
// send delay, and a place to report what happened (log, counters, the
// registry's line of waiting connections).
class ConnectionHost
{
public:
    virtual ~ConnectionHost() = default;

    enum class Arrival {
        Whole, // the request's head, or all the client sent before it closed
        LineTooLong, // no line end within the first 1,024 bytes
        HeadTooLarge, // no blank line within the head's limit
    };

    virtual Response answer(QByteArrayView head, Arrival arrival) = 0;
    virtual int sendDelay() const = 0;
    virtual void pieceSent(qsizetype bytes, bool countsAsSent) = 0;
    // The whole body went out; for files the log shows its size.
    virtual void answered(qint64 bodyBytes, bool file) = 0;
    virtual void socketError(int errnoValue) = 0;
    // The client closed, or was dropped, before it was answered.
    virtual void clientClosed() = 0;
    // The connection waits for a request (or for its client's close), or it is busy answering.
    virtual void waitingChanged(HttpConnection *connection, bool waiting) = 0;
    // The connection's socket is closed; the host may delete it later.
    virtual void connectionEnded(HttpConnection *connection) = 0;
};
