#pragma once

#include "crawler/CssScanner.h"
#include "crawler/LinkScanner.h"
#include "crawler/MarkupScanner.h"

#include <QByteArray>
#include <QList>

// The references the crawl follows in one saved file, fed as a stream. In a
// page: the values of HREF=, SRC= and BACKGROUND= as the link scan has always
// read them, and beyond them every URL of an srcset=, poster=, and the CSS
// references of style= attributes and <style> blocks; <base href> is not one
// of them, it says where the page's relative references stand. A stylesheet
// holds CSS references only.
class ReferenceFinder
{
public:
    enum class Kind { Page, Stylesheet };

    struct Found
    {
        QList<QByteArray> references; // as written, in the order found
        QByteArray base; // <base href>, empty when the page has none
    };

    // ownPaths: the file's links were rewritten by the crawler into relative
    // paths of the mirror, which are followed whatever steps they take.
    explicit ReferenceFinder(Kind kind, bool ownPaths = false);

    void feed(QByteArrayView bytes);
    Found finish();

private:
    Kind m_kind;
    LinkScanner m_links;
    MarkupScanner m_markup;
    CssScanner m_css;
    QList<QByteArray> m_linkValues;
    FoundReferences m_others;
};
