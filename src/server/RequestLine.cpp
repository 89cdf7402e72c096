#include "server/RequestLine.h"

#include <charconv>
#include <utility>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isMethodToken(QByteArrayView word)
{
    if (word.isEmpty())
        return false;
    for (char c : word) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_'))
            return false;
    }
    return true;
}

// Where the protocol word starts: the last word beginning with "http/", since
// the path itself may hold "http/" (a directory named "http").
qsizetype protocolStart(QByteArrayView rest)
{
    for (qsizetype at = rest.lastIndexOf(QByteArrayView("http/")); at > 0;
         at = rest.first(at).lastIndexOf(QByteArrayView("http/"))) {
        if (isBlank(rest[at - 1]))
            return at;
    }
    return -1;
}

// The number the text holds; 0 when it holds anything else.
int numberIn(QByteArrayView text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.begin(), text.end(), value);
    return error == std::errc() && end == text.end() ? value : 0;
}

// "1.1" and every later version keep the connection; "1.0", "0.9" or no number do not.
bool isPersistentVersion(QByteArrayView version)
{
    const qsizetype dot = version.indexOf('.');
    if (dot <= 0)
        return false;
    const int major = numberIn(version.first(dot));
    const int minor = numberIn(version.sliced(dot + 1));
    return major > 1 || (major == 1 && minor >= 1);
}

} // namespace

RequestLine RequestLine::parse(QByteArrayView line)
{
    RequestLine result;
    QByteArray lower = trimmed(line).toByteArray().toLower();
    QByteArrayView rest(lower);
    qsizetype methodEnd = 0;
    while (methodEnd < rest.size() && !isBlank(rest[methodEnd]))
        ++methodEnd;
    const QByteArrayView method = rest.first(methodEnd);
    if (method != "get" && method != "head") {
        if (isMethodToken(method) && methodEnd < rest.size())
            result.kind = Kind::NotSupported;
        return result;
    }
    rest = trimmed(rest.sliced(methodEnd));
    const qsizetype protocol = protocolStart(rest);
    if (protocol < 0)
        return result;
    QByteArrayView path = trimmed(rest.first(protocol));
    if (path.isEmpty())
        return result;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return result;
    }
    const qsizetype query = path.indexOf('?');
    if (query >= 0)
        path = path.first(query);
    const qsizetype fragment = path.indexOf('#');
    if (fragment >= 0)
        path = path.first(fragment);
    result.kind = method == "head" ? Kind::Head : Kind::Get;
    result.persistent = isPersistentVersion(rest.sliced(protocol + 5));
    // The path is cut out of the line's own copy, which it then keeps.
    const qsizetype pathStart = path.data() - lower.constData();
    lower.truncate(pathStart + path.size());
    lower.remove(0, pathStart);
    result.path = std::move(lower);
    return result;
}
