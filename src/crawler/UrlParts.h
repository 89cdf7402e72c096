#pragma once

#include <QString>

// A URL's text in its parts, as written: nothing is decoded or re-encoded, so a
// request asks for exactly what the page named. "\" counts as "/".
struct UrlParts
{
    QString scheme; // "http", lower case; empty when the text has none
    QString authority; // host[:port], as written
    QString path; // from the first "/" after the host up to the query; may be empty
    QString tail; // "?query" and "#fragment"; may be empty

    static UrlParts split(const QString &url);
};
