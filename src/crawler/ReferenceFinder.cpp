#include "crawler/ReferenceFinder.h"

ReferenceFinder::ReferenceFinder(Kind kind, bool ownPaths)
    : m_kind(kind)
    , m_links(ownPaths)
{ }

void ReferenceFinder::feed(QByteArrayView bytes)
{
    if (m_kind == Kind::Stylesheet) {
        m_css.feed(bytes, m_others);
        return;
    }
    m_links.feed(bytes, m_linkValues);
    m_markup.feed(bytes, m_others);
}

ReferenceFinder::Found ReferenceFinder::finish()
{
    Found found;
    if (m_kind == Kind::Stylesheet) {
        m_css.finish(m_others);
    } else {
        m_links.finish(m_linkValues);
        m_markup.finish(m_others);
        found.references = std::move(m_linkValues);
    }
    for (const FoundReference &reference : std::as_const(m_others)) {
        if (reference.kind == FoundReference::Base) {
            // The link scan read the base as an HREF= too: it is where links stand, no link itself.
            if (found.base.isEmpty()) {
                found.base = reference.text;
                found.references.removeOne(reference.text);
            }
        } else if (reference.kind != FoundReference::Link) {
            found.references.append(reference.text);
        }
    }
    m_others.clear();
    return found;
}
