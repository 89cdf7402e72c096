#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The one byte range a request asks for in its Range header, judged against
// the file's size: "bytes=a-b", "bytes=a-" or "bytes=-n".
struct ByteRange
{
    enum class Kind {
        Whole, // no range, one the server does not serve (several, other units), or a malformed one
        Part, // first..last, both within the file
        Unsatisfiable, // starts beyond the end, or asks for none of it
    };

    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1; // inclusive

    qint64 length() const { return last - first + 1; }

    static ByteRange parse(QByteArrayView header, qint64 size);
};
