#pragma once

#include "crawler/FoundReference.h"

#include <QByteArrayView>

// Finds the references of CSS text: url(...) in any quoting, and @import "..."
// (its url(...) form is a url() of its own), outside comments. The text is fed
// as a stream in pieces of any size; each reference comes with its place.
class CssScanner
{
public:
    // offset: where the first byte fed stands in its file.
    explicit CssScanner(qint64 offset = 0);

    void feed(QByteArrayView bytes, FoundReferences &found);
    // The text has ended: what is still open is dropped.
    void finish(FoundReferences &found);
    // Every reference that starts before this offset has been reported.
    qint64 settled() const { return m_start; }

    // The whole text at once.
    static FoundReferences scan(QByteArrayView text, qint64 offset = 0);

private:
    void work(bool atEnd, FoundReferences &found);

    QByteArray m_pending;
    qint64 m_start; // the offset of m_pending's first byte
    char m_previous = ' '; // the byte before m_pending: "x-url(" names no URL
};
