#pragma once

#include "server/ResponseBody.h"

#include <QByteArray>
#include <QString>

#include <memory>

// An answer to one request: the status line and headers, and the body that
// follows them piece by piece.
struct Response
{
    int status = 0;
    QByteArray head;
    std::unique_ptr<ResponseBody> body;
    QString note; // a log line of its own for an answer other than 200, else empty
    bool file = false;
};
