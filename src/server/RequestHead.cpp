#include "server/RequestHead.h"

#include <QList>

namespace {

bool hasToken(QByteArrayView list, QByteArrayView token)
{
    const QList<QByteArray> items = list.toByteArray().split(',');
    for (const QByteArray &item : items) {
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

qsizetype RequestHead::endOf(QByteArrayView buffered)
{
    // A bare line feed ends a line as well as CR LF does.
    for (qsizetype at = buffered.indexOf('\n'); at >= 0; at = buffered.indexOf('\n', at + 1)) {
        qsizetype next = at + 1;
        if (next < buffered.size() && buffered[next] == '\r')
            ++next;
        if (next < buffered.size() && buffered[next] == '\n')
            return next + 1;
    }
    return -1;
}

qsizetype RequestHead::firstLineEnd(QByteArrayView buffered)
{
    const qsizetype carriageReturn = buffered.indexOf('\r');
    const qsizetype lineFeed = buffered.indexOf('\n');
    if (carriageReturn < 0 || (lineFeed >= 0 && lineFeed < carriageReturn))
        return lineFeed;
    return carriageReturn;
}

RequestHead RequestHead::parse(QByteArrayView head)
{
    RequestHead request;
    const qsizetype firstEnd = firstLineEnd(head);
    request.line = RequestLine::parse(firstEnd < 0 ? head : head.first(firstEnd));
    qsizetype lineEnd = head.indexOf('\n');
    bool closeAsked = false;
    bool rangeSeen = false;
    bool dateSeen = false;
    while (lineEnd >= 0) {
        const qsizetype start = lineEnd + 1;
        lineEnd = head.indexOf('\n', start);
        const QByteArrayView field = head.sliced(start, (lineEnd < 0 ? head.size() : lineEnd) - start);
        const qsizetype colon = field.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArrayView name = field.first(colon).trimmed();
        const QByteArrayView value = field.sliced(colon + 1).trimmed();
        if (name.compare("connection", Qt::CaseInsensitive) == 0) {
            closeAsked = closeAsked || hasToken(value, "close");
        } else if (name.compare("range", Qt::CaseInsensitive) == 0 && !rangeSeen) {
            rangeSeen = true;
            request.range = value.toByteArray();
        } else if (name.compare("if-modified-since", Qt::CaseInsensitive) == 0 && !dateSeen) {
            dateSeen = true;
            request.ifModifiedSince = value.toByteArray();
        } else if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
            request.hasBody = request.hasBody || value != "0";
        } else if (name.compare("transfer-encoding", Qt::CaseInsensitive) == 0) {
            request.hasBody = true;
        }
    }
    request.keepAlive = request.line.persistent && !closeAsked && !request.hasBody;
    return request;
}
