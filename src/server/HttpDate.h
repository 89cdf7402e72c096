#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

// Dates as HTTP writes them in Last-Modified and If-Modified-Since.
namespace HttpDate {

// "Sun, 06 Nov 1994 08:49:37 GMT", in UTC, to the second.
QByteArray format(const QDateTime &time);
// Any of the three forms a server must accept (that above, RFC 850's
// "Sunday, 06-Nov-94 08:49:37 GMT" and asctime's "Sun Nov  6 08:49:37 1994");
// an invalid date for anything else.
QDateTime parse(QByteArrayView text);

} // namespace HttpDate
