#pragma once

#include "server/Response.h"

#include <QByteArrayView>

class HttpConnection;

// What a connection needs from its server: the answer to its request, the send
// delay, and a place to report what happened (log, counters).
class ConnectionHost
{
public:
    virtual ~ConnectionHost() = default;

    // requestStart: what the client sent, up to 1,024 bytes. lineEnded: whether
    // the first line ended within it, by a line end or by the client's close.
    virtual Response answer(QByteArrayView requestStart, bool lineEnded) = 0;
    virtual int sendDelay() const = 0;
    virtual void pieceSent(qsizetype bytes, bool countsAsSent) = 0;
    // The whole body went out; for files the log shows its size.
    virtual void answered(qint64 bodyBytes, bool file) = 0;
    virtual void socketError(int errnoValue) = 0;
    // The client closed, or was dropped, before it was answered.
    virtual void clientClosed() = 0;
    // The connection's socket is closed; the host may delete it later.
    virtual void connectionEnded(HttpConnection *connection) = 0;
};
