#include "server/RequestHead.h"

namespace {

bool equalIgnoringCase(QByteArrayView text, QByteArrayView known)
{
    return text.size() == known.size() && text.compare(known, Qt::CaseInsensitive) == 0;
}

// Whether the comma-separated list holds the token.
bool hasToken(QByteArrayView list, QByteArrayView token)
{
    for (;;) {
        const qsizetype comma = list.indexOf(',');
        if (equalIgnoringCase((comma < 0 ? list : list.first(comma)).trimmed(), token))
            return true;
        if (comma < 0)
            return false;
        list = list.sliced(comma + 1);
    }
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
        if (equalIgnoringCase(name, "connection")) {
            closeAsked = closeAsked || hasToken(value, "close");
        } else if (equalIgnoringCase(name, "range") && !rangeSeen) {
            rangeSeen = true;
            request.range = value.toByteArray();
        } else if (equalIgnoringCase(name, "if-modified-since") && !dateSeen) {
            dateSeen = true;
            request.ifModifiedSince = value.toByteArray();
        } else if (equalIgnoringCase(name, "content-length")) {
            request.hasBody = request.hasBody || value != "0";
        } else if (equalIgnoringCase(name, "transfer-encoding")) {
            request.hasBody = true;
        }
    }
    request.keepAlive = request.line.persistent && !closeAsked && !request.hasBody;
    return request;
}
