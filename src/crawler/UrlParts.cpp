#include "crawler/UrlParts.h"

namespace {

const QString SchemeMark = QStringLiteral("://");

qsizetype firstOf(const QString &text, std::initializer_list<QChar> marks)
{
    qsizetype first = text.size();
    for (const QChar mark : marks) {
        const qsizetype at = text.indexOf(mark);
        if (at >= 0 && at < first)
            first = at;
    }
    return first;
}

} // namespace

UrlParts UrlParts::split(const QString &url)
{
    UrlParts parts;
    QString rest = url.trimmed();
    rest.replace(u'\\', u'/');
    const qsizetype mark = rest.indexOf(SchemeMark);
    if (mark >= 0) {
        parts.scheme = rest.left(mark).toLower();
        rest = rest.mid(mark + SchemeMark.size());
    }
    const qsizetype hostEnd = firstOf(rest, { u'/', u'?', u'#' });
    parts.authority = rest.left(hostEnd);
    rest = rest.mid(hostEnd);
    const qsizetype tailStart = firstOf(rest, { u'?', u'#' });
    parts.path = rest.left(tailStart);
    parts.tail = rest.mid(tailStart);
    return parts;
}
