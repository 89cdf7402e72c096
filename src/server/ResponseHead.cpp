#include "server/ResponseHead.h"

#include "server/HttpDate.h"

#include <QDateTime>

#include <array>
#include <charconv>
#include <cstring>
#include <ctime>
#include <utility>

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

using Digits = std::array<char, 24>;

QByteArrayView decimal(qint64 number, Digits &digits)
{
    const char *end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    return QByteArrayView(digits.data(), end - digits.data());
}

} // namespace

ResponseHead::ResponseHead(int status, bool http11)
    : m_text(256, Qt::Uninitialized)
{
    Digits digits;
    put(http11 ? "HTTP/1.1 " : "HTTP/1.0 ");
    put(decimal(status, digits));
    put(" ");
    put(reason(status));
    put("\r\n");
    add("Date", currentDate());
}

ResponseHead &ResponseHead::add(QByteArrayView name, QByteArrayView value)
{
    put(name);
    put(": ");
    put(value);
    put("\r\n");
    return *this;
}

ResponseHead &ResponseHead::add(QByteArrayView name, qint64 value)
{
    Digits digits;
    return add(name, decimal(value, digits));
}

QByteArray ResponseHead::finish(bool keepAlive)
{
    if (!keepAlive)
        put("Connection: close\r\n");
    put("\r\n");
    m_text.truncate(m_size);
    m_size = 0;
    return std::exchange(m_text, {});
}

// Straight into the room kept ahead: QByteArray's own append costs more than
// the few bytes of a field, and a head is made for every answer.
void ResponseHead::put(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_size + bytes.size() > m_text.size())
        m_text.resize(qMax(2 * m_text.size(), m_size + bytes.size()));
    std::memcpy(m_text.data() + m_size, bytes.data(), size_t(bytes.size()));
    m_size += bytes.size();
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
