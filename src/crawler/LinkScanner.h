#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Finds the references of a page: the values of HREF=, SRC= and BACKGROUND=
// (any case), in the order they stand. The page is fed as a stream in pieces of
// any size; a reference that spans two pieces is found whole.
//
// A value ends at the first blank or ">"; a leading double quote is dropped and
// the value is cut at the next one. Values that hold "INTERNAL-GOPHER", "./",
// ".\", "'", "@" or "#" are never followed (relative climbs, mail addresses,
// fragments, script strings). The values come back as written, in their case.
class LinkScanner
{
public:
    // followRelativeSteps: values with "./" or ".\" are followed too (the
    // relative paths of a mirror whose links the crawler itself has rewritten).
    explicit LinkScanner(bool followRelativeSteps = false)
        : m_followRelativeSteps(followRelativeSteps)
    { }

    // Appends the references completed by these bytes to found.
    void feed(QByteArrayView bytes, QList<QByteArray> &found);
    // The page has ended: a value still open runs to the end of the page.
    void finish(QList<QByteArray> &found);

    // The whole page at once.
    static QList<QByteArray> scan(QByteArrayView page);

private:
    void work(bool atEnd, QList<QByteArray> &found);

    bool m_followRelativeSteps = false;
    QByteArray m_pending;
    qsizetype m_openEnd = 0; // how far an open value at the start of m_pending was searched
};
