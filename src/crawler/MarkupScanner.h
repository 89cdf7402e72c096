#pragma once

#include "crawler/CssScanner.h"
#include "crawler/FoundReference.h"

#include <QByteArrayView>

#include <optional>

// Reads a page's tags as a browser does (quoted attribute values, comments,
// the raw text of <script> and <style>) and reports the references that stand
// in them with their places: href=, src= and background= (Link), <base href>
// (Base), each URL of an srcset= and poster= (Extra), and the CSS references
// of style= attributes and <style> blocks (Css). The page is fed as a stream in
// pieces of any size.
class MarkupScanner
{
public:
    void feed(QByteArrayView bytes, FoundReferences &found);
    void finish(FoundReferences &found);
    // Every reference that starts before this offset has been reported.
    qint64 settled() const;

    static FoundReferences scan(QByteArrayView page);

private:
    enum class Mode { Text, Comment, Script, Style };

    void work(bool atEnd, FoundReferences &found);
    // Where the construct at `at` ends (just past it), or -1 when it is incomplete.
    qsizetype tag(qsizetype at, bool atEnd, FoundReferences &found);
    qsizetype rawText(qsizetype at, bool atEnd, QByteArrayView closing, FoundReferences &found);
    void attribute(
        QByteArrayView tagName, QByteArrayView name, qsizetype from, qsizetype to, char quote, FoundReferences &found);
    void srcset(qsizetype from, qsizetype to, char quote, FoundReferences &found);

    QByteArray m_pending;
    qint64 m_start = 0; // the offset of m_pending's first byte
    Mode m_mode = Mode::Text;
    std::optional<CssScanner> m_style; // the CSS of the <style> block being read
};
