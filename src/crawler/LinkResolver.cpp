#include "crawler/LinkResolver.h"

#include "crawler/LocalNaming.h"

#include <QStringDecoder>

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

QString LinkResolver::absolute(const QString &reference, const QString &pageUrl)
{
    const QString trimmed = reference.trimmed();
    if (isAbsolute(trimmed))
        return trimmed;
    if (trimmed.startsWith(u"//")) {
        const QString scheme = LocalNaming::scheme(pageUrl);
        return (scheme.isEmpty() ? QStringLiteral("http") : scheme) + u':' + trimmed;
    }
    if (trimmed.startsWith(u'/'))
        return LocalNaming::serverRoot(pageUrl) + trimmed.mid(1);
    return LocalNaming::directoryUrl(pageUrl) + trimmed;
}

QString LinkResolver::key(const QString &url)
{
    return url.toLower();
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
    return url.contains(site, Qt::CaseInsensitive);
}
