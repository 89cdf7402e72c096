#include "crawler/LinkScanner.h"

#include "crawler/MarkupSpace.h"

#include <array>

namespace {

constexpr std::array<QByteArrayView, 3> Names = { "HREF=", "SRC=", "BACKGROUND=" };
constexpr std::array<QByteArrayView, 6> Skipped = { "INTERNAL-GOPHER", "./", ".\\", "'", "@", "#" };
constexpr std::array<QByteArrayView, 4> SkippedInOwnPaths = { "INTERNAL-GOPHER", "'", "@", "#" };
// An unfinished name can be this long at the end of a piece.
constexpr qsizetype NameTail = 10;
// A value with no end in sight is taken as it stands once it is this long, so a
// hostile page cannot make the scanner hold all of itself.
constexpr qsizetype LongestValue = 64 * 1024;

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Where the first of the names starts at or after from (case-insensitive), and its length.
qsizetype findName(const QByteArray &text, qsizetype from, qsizetype &length)
{
    for (qsizetype at = from; at < text.size(); ++at) {
        const char c = upper(text.at(at));
        if (c != 'H' && c != 'S' && c != 'B')
            continue;
        for (const QByteArrayView name : Names) {
            if (name.front() != c || at + name.size() > text.size())
                continue;
            qsizetype i = 1;
            while (i < name.size() && upper(text.at(at + i)) == name.at(i))
                ++i;
            if (i == name.size()) {
                length = name.size();
                return at;
            }
        }
    }
    return -1;
}

template <std::size_t N> bool followed(const QByteArray &value, const std::array<QByteArrayView, N> &skipped)
{
    QByteArray folded = value;
    for (char &c : folded)
        c = upper(c);
    for (const QByteArrayView mark : skipped) {
        if (folded.contains(mark))
            return false;
    }
    return true;
}

QByteArray cleaned(QByteArray value)
{
    if (value.startsWith('"'))
        value.remove(0, 1);
    const qsizetype quote = value.indexOf('"');
    if (quote >= 0)
        value.truncate(quote);
    // Pages write the ampersand of a query as "&amp;", as HTML asks; the server
    // expects the plain character.
    return value.replace("&amp;", "&");
}

} // namespace

void LinkScanner::feed(QByteArrayView bytes, QList<QByteArray> &found)
{
    m_pending.append(bytes.data(), bytes.size());
    work(false, found);
}

void LinkScanner::finish(QList<QByteArray> &found)
{
    work(true, found);
    m_pending.clear();
    m_openEnd = 0;
}

QList<QByteArray> LinkScanner::scan(QByteArrayView page)
{
    LinkScanner scanner;
    QList<QByteArray> found;
    scanner.feed(page, found);
    scanner.finish(found);
    return found;
}

void LinkScanner::work(bool atEnd, QList<QByteArray> &found)
{
    qsizetype pos = 0;
    const qsizetype size = m_pending.size();
    while (true) {
        qsizetype nameLength = 0;
        const qsizetype name = findName(m_pending, pos, nameLength);
        if (name < 0) {
            pos = atEnd ? size : std::max(pos, size - NameTail);
            break;
        }
        qsizetype start = name + nameLength;
        // A line break or tab after the equals sign comes before the value, not in it.
        while (start < size && isMarkupSpace(m_pending.at(start)))
            ++start;
        // A value left open by the last piece is searched on from where that stopped.
        qsizetype end = std::max(start, m_openEnd);
        m_openEnd = 0;
        while (end < size && !isMarkupSpace(m_pending.at(end)) && m_pending.at(end) != '>')
            ++end;
        const bool open = end == size;
        if (open && !atEnd && size - name < LongestValue) {
            pos = name; // wait for the rest of the value
            m_openEnd = end - name;
            break;
        }
        const QByteArray value = m_pending.mid(start, end - start);
        if (m_followRelativeSteps ? !followed(value, SkippedInOwnPaths) : !followed(value, Skipped)) {
            pos = start;
            continue;
        }
        found.append(cleaned(value));
        // A value that runs to the end consumes nothing: the search goes on in it.
        pos = open ? start : end + 1;
    }
    m_pending.remove(0, pos);
}
