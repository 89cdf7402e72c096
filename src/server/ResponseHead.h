#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The status line and header fields of an answer, in the request's version
// (HTTP/1.1 for a 1.1 request, else HTTP/1.0), with the date of the answer.
class ResponseHead
{
public:
    ResponseHead(int status, bool http11);

    ResponseHead &add(QByteArrayView name, QByteArrayView value);
    ResponseHead &add(QByteArrayView name, qint64 value);
    // The whole head, the blank line included; "Connection: close" unless the
    // connection stays open.
    QByteArray text(bool keepAlive) const;

    static QByteArrayView reason(int status);

private:
    QByteArray m_text;
};
