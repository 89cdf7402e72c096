#pragma once

#include "server/RequestLine.h"

#include <QByteArray>
#include <QByteArrayView>

// A request as far as the server reads it: its first line and the header
// fields it acts on. Names of fields match without regard to case; a field
// given twice counts by its first value.
struct RequestHead
{
    RequestLine line;
    QByteArray range; // the Range field's value, empty when absent
    QByteArray ifModifiedSince;
    // The connection stays open after the answer: HTTP/1.1 without "Connection: close".
    bool keepAlive = false;
    // The request announces a body, which the server does not read: its
    // connection closes after the answer rather than mistake the body for a request.
    bool hasBody = false;

    // head: the request line and the header lines, without the blank line that ends them.
    static RequestHead parse(QByteArrayView head);
    // Where the head that starts buffered ends, the blank line included; -1 while it has not.
    static qsizetype endOf(QByteArrayView buffered);
    // Where the first line ends (its first CR or LF); -1 while it has not.
    static qsizetype firstLineEnd(QByteArrayView buffered);
};
