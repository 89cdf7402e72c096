#pragma once

#include <QByteArray>
#include <QList>

// A reference as it stands in a page or stylesheet: its text as written (an
// attribute's character references such as "&amp;" decoded) and where those
// bytes stand in the file, so that it can be rewritten in place.
struct FoundReference
{
    enum Kind {
        Link, // href=, src=, background=
        Base, // <base href>: where the page's relative references stand
        Extra, // an srcset candidate, poster=
        Css, // url(...) or @import in a stylesheet, a <style> block or a style= attribute
    };

    Kind kind = Link;
    QByteArray text;
    qint64 start = 0; // offset of the first byte of the reference in the file
    qint64 end = 0; // offset just past it
    // The reference stands in an HTML attribute value quoted with this
    // character (0: unquoted, or not in an attribute).
    char quote = 0;
    bool inAttribute = false;
};
using FoundReferences = QList<FoundReference>;
