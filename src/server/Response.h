#pragma once

#include "server/ResponseBody.h"

#include <QByteArray>
#include <QString>

#include <memory>

// An answer to one request: the status line and headers, and the body that
// follows them piece by piece (none for HEAD and 304).
struct Response
{
    int status = 0;
    QByteArray head;
    std::unique_ptr<ResponseBody> body;
    QString note; // a log line of its own for an answer other than 200, else empty
    bool file = false;
    bool keepAlive = false; // the connection waits for the next request afterwards
    // The request was framed and announced no body: the client sends nothing after it.
    bool requestEnded = false;
    bool chunked = false; // the body goes out in HTTP/1.1 chunks (its length is not known before)
};
