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
    // connection stays open. The head is used up by it.
    QByteArray finish(bool keepAlive);

    static QByteArrayView reason(int status);

private:
    void put(QByteArrayView bytes);

    QByteArray m_text;
    qsizetype m_size = 0; // of m_text, which holds room beyond it
};
