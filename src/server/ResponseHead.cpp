#include "server/ResponseHead.h"

#include "server/HttpDate.h"

#include <QDateTime>

#include <ctime>

namespace {

// The Date field changes once a second; formatting it for every answer would cost more than the answer.
const QByteArray &currentDate()
{
    thread_local std::time_t second = 0;
    thread_local QByteArray text;
    const std::time_t now = std::time(nullptr);
    if (now != second || text.isEmpty()) {
        second = now;
        text = HttpDate::format(QDateTime::fromSecsSinceEpoch(now, Qt::UTC));
    }
    return text;
}

} // namespace

ResponseHead::ResponseHead(int status, bool http11)
{
    m_text.reserve(256);
    m_text += http11 ? "HTTP/1.1 " : "HTTP/1.0 ";
    m_text += QByteArray::number(status);
    m_text += ' ';
    m_text += reason(status);
    m_text += "\r\n";
    add("Date", currentDate());
}

ResponseHead &ResponseHead::add(QByteArrayView name, QByteArrayView value)
{
    m_text += name;
    m_text += ": ";
    m_text += value;
    m_text += "\r\n";
    return *this;
}

ResponseHead &ResponseHead::add(QByteArrayView name, qint64 value)
{
    return add(name, QByteArray::number(value));
}

QByteArray ResponseHead::text(bool keepAlive) const
{
    QByteArray text = m_text;
    if (!keepAlive)
        text += "Connection: close\r\n";
    text += "\r\n";
    return text;
}

QByteArrayView ResponseHead::reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    default:
        return "Internal Server Error";
    }
}
