#include "server/ByteRange.h"

#include <QByteArray>

namespace {

// A decimal number of digits only, -1 for anything else or one too large.
qint64 position(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

ByteRange ByteRange::parse(QByteArrayView header, qint64 size)
{
    ByteRange range;
    const QByteArray text = header.trimmed().toByteArray();
    if (!text.toLower().startsWith("bytes="))
        return range;
    const QByteArrayView ranges = QByteArrayView(text).sliced(6).trimmed();
    // Several ranges are served as the whole file, which HTTP allows.
    if (ranges.contains(','))
        return range;
    const qsizetype dash = ranges.indexOf('-');
    if (dash < 0)
        return range;
    const QByteArrayView from = ranges.first(dash).trimmed();
    const QByteArrayView to = ranges.sliced(dash + 1).trimmed();
    if (from.isEmpty()) {
        const qint64 suffix = position(to);
        if (suffix < 0)
            return range;
        if (suffix == 0 || size == 0)
            return { Kind::Unsatisfiable };
        return { Kind::Part, qMax<qint64>(0, size - suffix), size - 1 };
    }
    const qint64 first = position(from);
    const qint64 last = to.isEmpty() ? size - 1 : position(to);
    if (first < 0 || (!to.isEmpty() && (last < 0 || last < first)))
        return range;
    if (first >= size)
        return { Kind::Unsatisfiable };
    return { Kind::Part, first, qMin(last, size - 1) };
}
