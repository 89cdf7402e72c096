#include "crawler/LinkResolver.h"

#include "crawler/LocalNaming.h"
#include "crawler/UrlParts.h"

#include <QStringDecoder>
#include <QStringList>

#include <array>

namespace {

constexpr std::array<QLatin1StringView, 3> AbsoluteStarts
    = { QLatin1StringView("http://"), QLatin1StringView("https://"), QLatin1StringView("ftp://") };
constexpr std::array<QLatin1StringView, 6> ScannedPictures = { QLatin1StringView(".gif"), QLatin1StringView(".bmp"),
    QLatin1StringView(".jpg"), QLatin1StringView(".jpeg"), QLatin1StringView(".ico"), QLatin1StringView(".pcx") };
constexpr std::array<QLatin1StringView, 7> DispatchedPictures
    = { QLatin1StringView(".gif"), QLatin1StringView(".bmp"), QLatin1StringView(".jpg"), QLatin1StringView(".jpeg"),
          QLatin1StringView(".ico"), QLatin1StringView(".wmf"), QLatin1StringView(".pcx") };

template <std::size_t N> bool holdsAny(const QString &text, const std::array<QLatin1StringView, N> &marks)
{
    for (const QLatin1StringView mark : marks) {
        if (text.contains(mark, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QString LinkResolver::text(QByteArrayView reference)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(reference);
    if (!utf8.hasError())
        return decoded;
    QString escaped;
    escaped.reserve(reference.size() * 3);
    for (const char byte : reference) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x80) {
            escaped.append(QLatin1Char(byte));
        } else {
            escaped.append(u'%');
            escaped.append(QString::number(value, 16).toUpper());
        }
    }
    return escaped;
}

bool LinkResolver::isAbsolute(const QString &url)
{
    for (const QLatin1StringView start : AbsoluteStarts) {
        if (url.startsWith(start, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool LinkResolver::hasForeignScheme(const QString &reference)
{
    const QString trimmed = reference.trimmed();
    // A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
    for (qsizetype at = 0; at < trimmed.size(); ++at) {
        const QChar c = trimmed.at(at);
        if (c == u':')
            return at > 0 && !isAbsolute(trimmed);
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!letter && (at == 0 || !((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.')))
            return false;
    }
    return false;
}

namespace {

// RFC 3986, 5.2.4, on an absolute path: "." steps go, ".." takes the step before
// it away (never the root); a path that ends in one ends with "/".
QString removeDotSegments(const QString &path)
{
    if (!path.contains(u'.'))
        return path;
    const QStringList steps = path.split(u'/');
    QStringList kept;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        const bool last = i + 1 == steps.size();
        if (step == u"." || step == u"..") {
            if (step == u".." && kept.size() > 1)
                kept.removeLast();
            if (last)
                kept.append(QString());
            continue;
        }
        kept.append(step);
    }
    return kept.join(u'/');
}

// The page's URL without its query and fragment.
QString withoutTail(const QString &url)
{
    const QString text = url.trimmed();
    return text.left(text.size() - UrlParts::split(text).tail.size());
}

} // namespace

QString LinkResolver::withoutDotSegments(const QString &url)
{
    const QString text = url.trimmed();
    const UrlParts parts = UrlParts::split(text);
    if (!parts.path.contains(u'.'))
        return text;
    const qsizetype pathStart = text.size() - parts.path.size() - parts.tail.size();
    return text.left(pathStart) + removeDotSegments(parts.path) + parts.tail;
}

QString LinkResolver::absolute(const QString &reference, const QString &pageUrl)
{
    const QString trimmed = reference.trimmed();
    if (isAbsolute(trimmed))
        return withoutDotSegments(trimmed);
    if (trimmed.startsWith(u"//")) {
        const QString scheme = LocalNaming::scheme(pageUrl);
        return withoutDotSegments((scheme.isEmpty() ? QStringLiteral("http") : scheme) + u':' + trimmed);
    }
    if (trimmed.startsWith(u'/'))
        return withoutDotSegments(LocalNaming::serverRoot(pageUrl) + trimmed.mid(1));
    if (trimmed.startsWith(u'?'))
        return withoutTail(pageUrl) + trimmed;
    return withoutDotSegments(LocalNaming::directoryUrl(pageUrl) + trimmed);
}

QString LinkResolver::key(const QString &url)
{
    const QString text = url.trimmed();
    const qsizetype mark = text.indexOf(QLatin1StringView("://"));
    if (mark < 0)
        return text;
    const UrlParts parts = UrlParts::split(text);
    const qsizetype hostEnd = mark + 3 + parts.authority.size();
    return text.left(hostEnd).toLower() + text.mid(hostEnd);
}

bool LinkResolver::isScannedPicture(const QString &url)
{
    return holdsAny(url, ScannedPictures);
}

bool LinkResolver::isDispatchedPicture(const QString &localFileName)
{
    return holdsAny(localFileName, DispatchedPictures);
}

bool LinkResolver::isInside(const QString &url, const QString &site)
{
    if (!url.contains(QLatin1StringView("://")))
        return true;
    return url.startsWith(site, Qt::CaseInsensitive);
}
