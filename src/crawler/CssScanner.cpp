#include "crawler/CssScanner.h"

#include "crawler/MarkupSpace.h"

namespace {

// A construct with no end in sight is given up once it is this long, so a
// hostile stylesheet cannot make the scanner hold all of itself.
constexpr qsizetype LongestConstruct = 64 * 1024;
constexpr qsizetype Incomplete = -1;

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || static_cast<unsigned char>(c) >= 0x80;
}

bool startsWith(const QByteArray &text, qsizetype at, QByteArrayView word)
{
    return at + word.size() <= text.size()
        && QByteArrayView(text.constData() + at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The text ends in the middle of the word: what follows may complete it.
bool endsInside(const QByteArray &text, qsizetype at, QByteArrayView word)
{
    const qsizetype left = text.size() - at;
    return left < word.size()
        && QByteArrayView(text.constData() + at, left).compare(word.first(left), Qt::CaseInsensitive) == 0;
}

qsizetype skipSpaces(const QByteArray &text, qsizetype at)
{
    while (at < text.size() && isMarkupSpace(text.at(at)))
        ++at;
    return at;
}

// The closing quote of a string opened at `at` (backslash escapes skipped); a
// line break ends a string too.
qsizetype stringEnd(const QByteArray &text, qsizetype at)
{
    const char quote = text.at(at);
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\\') {
            ++i;
        } else if (c == quote || c == '\n') {
            return i;
        }
    }
    return Incomplete;
}

} // namespace

CssScanner::CssScanner(qint64 offset)
    : m_start(offset)
{ }

void CssScanner::feed(QByteArrayView bytes, FoundReferences &found)
{
    m_pending.append(bytes.data(), bytes.size());
    work(false, found);
}

void CssScanner::finish(FoundReferences &found)
{
    work(true, found);
    m_start += m_pending.size();
    m_pending.clear();
}

FoundReferences CssScanner::scan(QByteArrayView text, qint64 offset)
{
    CssScanner scanner(offset);
    FoundReferences found;
    scanner.feed(text, found);
    scanner.finish(found);
    return found;
}

void CssScanner::work(bool atEnd, FoundReferences &found)
{
    const QByteArray &text = m_pending;
    const qsizetype size = text.size();
    auto emitReference = [&](qsizetype from, qsizetype to) {
        if (to > from)
            found.append({ FoundReference::Css, text.mid(from, to - from), m_start + from, m_start + to });
    };
    // A quoted reference at `at`: where scanning goes on, or Incomplete.
    auto quoted = [&](qsizetype at) {
        const qsizetype close = stringEnd(text, at);
        if (close < 0)
            return Incomplete;
        emitReference(at + 1, close);
        return close + 1;
    };
    qsizetype at = 0;
    while (at < size) {
        const char c = text.at(at);
        qsizetype next = at + 1;
        if (c == '/' && (at + 1 < size || !atEnd)) {
            if (at + 1 == size) {
                next = Incomplete;
            } else if (text.at(at + 1) == '*') {
                const qsizetype close = text.indexOf("*/", at + 2);
                next = close < 0 ? Incomplete : close + 2;
            }
        } else if (isQuote(c)) {
            const qsizetype close = stringEnd(text, at);
            next = close < 0 ? Incomplete : close + 1;
        } else if (!atEnd && (endsInside(text, at, "url(") || endsInside(text, at, "@import"))) {
            next = Incomplete;
        } else if ((c == 'u' || c == 'U') && startsWith(text, at, "url(")
            && !isNameChar(at == 0 ? m_previous : text.at(at - 1))) {
            const qsizetype value = skipSpaces(text, at + 4);
            if (value >= size) {
                next = Incomplete;
            } else if (isQuote(text.at(value))) {
                next = quoted(value);
            } else {
                qsizetype end = value;
                while (end < size && text.at(end) != ')' && !isMarkupSpace(text.at(end)))
                    ++end;
                if (end < size)
                    emitReference(value, end);
                next = end < size ? end : Incomplete;
            }
        } else if (c == '@' && startsWith(text, at, "@import")) {
            const qsizetype value = skipSpaces(text, at + 7);
            if (value >= size) {
                next = Incomplete;
            } else if (isQuote(text.at(value))) {
                next = quoted(value);
            } else {
                next = value; // url(...) is found on its own
            }
        }
        if (next == Incomplete) {
            // Wait for the rest, unless there will be none or it is too long to wait for.
            if (!atEnd && size - at < LongestConstruct)
                break;
            next = at + 1;
        }
        at = next;
    }
    if (at > 0)
        m_previous = text.at(at - 1);
    m_pending.remove(0, at);
    m_start += at;
}
