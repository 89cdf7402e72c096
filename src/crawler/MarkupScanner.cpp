#include "crawler/MarkupScanner.h"

#include "crawler/MarkupSpace.h"

namespace {

// A tag (or the tail of raw text) with no end in sight is given up once it is
// this long, so a hostile page cannot make the scanner hold all of itself.
constexpr qsizetype LongestTag = 64 * 1024;
constexpr qsizetype Incomplete = -1;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameChar(char c)
{
    return isLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':';
}

qsizetype indexOfFolded(const QByteArray &text, QByteArrayView word, qsizetype from)
{
    for (qsizetype at = text.indexOf(word.front(), from); at >= 0 && at + word.size() <= text.size();
         at = text.indexOf(word.front(), at + 1)) {
        if (QByteArrayView(text.constData() + at, word.size()).compare(word, Qt::CaseInsensitive) == 0)
            return at;
    }
    return Incomplete;
}

QByteArray decoded(QByteArrayView raw)
{
    return raw.toByteArray().replace("&amp;", "&");
}

// An attribute value with its character references for quotes and the
// ampersand decoded, and where each decoded byte stood in the value.
struct DecodedValue
{
    QByteArray text;
    QList<qsizetype> places; // one per byte of text, and one past the end

    explicit DecodedValue(QByteArrayView raw)
    {
        static constexpr std::pair<QByteArrayView, char> References[]
            = { { "&quot;", '"' }, { "&#34;", '"' }, { "&apos;", '\'' }, { "&#39;", '\'' }, { "&amp;", '&' } };
        qsizetype at = 0;
        while (at < raw.size()) {
            qsizetype length = 1;
            char byte = raw.at(at);
            for (const auto &[name, character] : References) {
                if (raw.sliced(at).startsWith(name)) {
                    length = name.size();
                    byte = character;
                    break;
                }
            }
            text.append(byte);
            places.append(at);
            at += length;
        }
        places.append(raw.size());
    }
};

} // namespace

void MarkupScanner::feed(QByteArrayView bytes, FoundReferences &found)
{
    m_pending.append(bytes.data(), bytes.size());
    work(false, found);
}

void MarkupScanner::finish(FoundReferences &found)
{
    work(true, found);
    if (m_style)
        m_style->finish(found);
    m_style.reset();
    m_start += m_pending.size();
    m_pending.clear();
    m_mode = Mode::Text;
}

qint64 MarkupScanner::settled() const
{
    return m_style ? std::min(m_start, m_style->settled()) : m_start;
}

FoundReferences MarkupScanner::scan(QByteArrayView page)
{
    MarkupScanner scanner;
    FoundReferences found;
    scanner.feed(page, found);
    scanner.finish(found);
    return found;
}

void MarkupScanner::work(bool atEnd, FoundReferences &found)
{
    const qsizetype size = m_pending.size();
    qsizetype at = 0;
    while (at < size) {
        if (m_mode == Mode::Text) {
            const qsizetype open = m_pending.indexOf('<', at);
            if (open < 0) {
                at = size;
                break;
            }
            qsizetype next = tag(open, atEnd, found);
            if (next == Incomplete) {
                if (!atEnd && size - open < LongestTag) {
                    at = open;
                    break;
                }
                next = open + 1;
            }
            at = next;
            continue;
        }
        if (m_mode == Mode::Comment) {
            const qsizetype close = m_pending.indexOf("-->", at);
            if (close < 0) {
                // The last two bytes may begin the end of the comment.
                at = atEnd ? size : std::max(at, size - 2);
                break;
            }
            at = close + 3;
            m_mode = Mode::Text;
            continue;
        }
        const QByteArrayView closing = m_mode == Mode::Style ? QByteArrayView("</style") : QByteArrayView("</script");
        const qsizetype close = indexOfFolded(m_pending, closing, at);
        // Raw text up to the closing tag, or as far as it cannot be part of one.
        const qsizetype until = close >= 0 ? close : (atEnd ? size : std::max(at, size - closing.size() + 1));
        if (m_style)
            m_style->feed(QByteArrayView(m_pending.constData() + at, until - at), found);
        at = until;
        if (close < 0)
            break;
        if (m_style)
            m_style->finish(found);
        m_style.reset();
        m_mode = Mode::Text;
    }
    m_pending.remove(0, at);
    m_start += at;
}

qsizetype MarkupScanner::tag(qsizetype open, bool atEnd, FoundReferences &found)
{
    const QByteArray &text = m_pending;
    const qsizetype size = text.size();
    if (open + 1 >= size)
        return atEnd ? open + 1 : Incomplete;
    if (text.at(open + 1) == '!' || text.at(open + 1) == '?') {
        if (text.mid(open, 4) == "<!--") {
            m_mode = Mode::Comment;
            return open + 4;
        }
        if (open + 4 > size && QByteArrayView("<!--").startsWith(QByteArrayView(text.constData() + open, size - open)))
            return Incomplete;
        const qsizetype close = text.indexOf('>', open);
        return close < 0 ? Incomplete : close + 1;
    }
    qsizetype at = open + 1;
    const bool closingTag = text.at(at) == '/';
    if (closingTag)
        ++at;
    if (at >= size)
        return Incomplete;
    if (!isLetter(text.at(at)))
        return open + 1; // a "<" of the text
    const qsizetype nameStart = at;
    while (at < size && isNameChar(text.at(at)))
        ++at;
    if (at >= size)
        return Incomplete;
    const QByteArray tagName = text.mid(nameStart, at - nameStart).toLower();
    // The references of a tag count once the whole tag is there.
    FoundReferences inTag;
    while (true) {
        while (at < size && (isMarkupSpace(text.at(at)) || text.at(at) == '/'))
            ++at;
        if (at >= size)
            return Incomplete;
        if (text.at(at) == '>')
            break;
        const qsizetype attributeStart = at;
        while (at < size && !isMarkupSpace(text.at(at)) && text.at(at) != '=' && text.at(at) != '>' && text.at(at) != '/')
            ++at;
        const QByteArray name = text.mid(attributeStart, at - attributeStart).toLower();
        while (at < size && isMarkupSpace(text.at(at)))
            ++at;
        if (at >= size)
            return Incomplete;
        if (text.at(at) != '=')
            continue;
        ++at;
        while (at < size && isMarkupSpace(text.at(at)))
            ++at;
        if (at >= size)
            return Incomplete;
        const char quote = text.at(at);
        if (quote == '"' || quote == '\'') {
            const qsizetype close = text.indexOf(quote, at + 1);
            if (close < 0)
                return Incomplete;
            attribute(tagName, name, at + 1, close, quote, inTag);
            at = close + 1;
        } else {
            const qsizetype valueStart = at;
            while (at < size && !isMarkupSpace(text.at(at)) && text.at(at) != '>')
                ++at;
            if (at >= size)
                return Incomplete;
            attribute(tagName, name, valueStart, at, 0, inTag);
        }
    }
    found.append(inTag);
    const qsizetype end = at + 1;
    if (!closingTag && tagName == "script") {
        m_mode = Mode::Script;
    } else if (!closingTag && tagName == "style") {
        m_mode = Mode::Style;
        m_style.emplace(m_start + end);
    }
    return end;
}

void MarkupScanner::attribute(
    QByteArrayView tagName, QByteArrayView name, qsizetype from, qsizetype to, char quote, FoundReferences &found)
{
    const QByteArrayView raw(m_pending.constData() + from, to - from);
    auto add = [&](FoundReference::Kind kind, qsizetype start, qsizetype end) {
        if (end > start)
            found.append({ kind, decoded(QByteArrayView(m_pending.constData() + start, end - start)), m_start + start,
                m_start + end, quote, true });
    };
    if (name == "href") {
        add(tagName == "base" ? FoundReference::Base : FoundReference::Link, from, to);
    } else if (name == "src" || name == "background") {
        add(FoundReference::Link, from, to);
    } else if (name == "poster") {
        add(FoundReference::Extra, from, to);
    } else if (name == "srcset") {
        srcset(from, to, quote, found);
    } else if (name == "style") {
        // The CSS is the value as the browser reads it, its quotes written as &quot; decoded.
        const DecodedValue value(raw);
        for (FoundReference reference : CssScanner::scan(value.text)) {
            reference.start = m_start + from + value.places.at(reference.start);
            reference.end = m_start + from + value.places.at(reference.end);
            reference.quote = quote;
            reference.inAttribute = true;
            found.append(reference);
        }
    }
}

void MarkupScanner::srcset(qsizetype from, qsizetype to, char quote, FoundReferences &found)
{
    const QByteArray &text = m_pending;
    qsizetype at = from;
    while (at < to) {
        while (at < to && (isMarkupSpace(text.at(at)) || text.at(at) == ','))
            ++at;
        if (at >= to)
            break;
        const qsizetype urlStart = at;
        while (at < to && !isMarkupSpace(text.at(at)))
            ++at;
        qsizetype urlEnd = at;
        // A URL that ends in commas has no descriptors: the commas part it from the next.
        const bool endsCandidate = text.at(urlEnd - 1) == ',';
        while (urlEnd > urlStart && text.at(urlEnd - 1) == ',')
            --urlEnd;
        if (urlEnd > urlStart)
            found.append(
                { FoundReference::Extra, decoded(QByteArrayView(text.constData() + urlStart, urlEnd - urlStart)),
                    m_start + urlStart, m_start + urlEnd, quote, true });
        if (endsCandidate)
            continue;
        // The descriptors ("480w", "2x") up to the next comma.
        while (at < to && text.at(at) != ',')
            ++at;
    }
}
