#include "crawler/LocalNaming.h"

#include "crawler/UrlParts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStringList>

namespace {

const QString Index = QStringLiteral("index");
const QString PageSuffix = QStringLiteral(".htm");
const QString SchemeMark = QStringLiteral("://");
// Linux takes at most 255 bytes per name; longer steps are shortened with a digest.
constexpr int NameBytes = 255;
constexpr int KeptChars = 120;

// The directory steps of a path with "." and ".." worked out, never above the top.
QStringList directorySteps(const QString &path)
{
    QStringList steps;
    const QStringList raw = path.split(u'/');
    // The last element is the file step (empty when the path ends with "/"),
    // unless it is a "." or ".." that names a directory.
    const bool dotsLast = raw.last() == u"." || raw.last() == u"..";
    for (qsizetype i = 0; i + (dotsLast ? 0 : 1) < raw.size(); ++i) {
        const QString &step = raw.at(i);
        if (step.isEmpty() || step == u".")
            continue;
        if (step == u"..") {
            if (!steps.isEmpty())
                steps.removeLast();
            continue;
        }
        steps.append(step);
    }
    return steps;
}

QString fileStep(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString step = slash < 0 ? path : path.mid(slash + 1);
    return (step == u"." || step == u"..") ? QString() : step;
}

// One name of the mirror: lower case, printable, no separators, no "." or ".."
// of its own, and short enough for the file system.
QString safeStep(const QString &step)
{
    QString name;
    name.reserve(step.size());
    for (const QChar c : step)
        name.append((c.isPrint() && c != u'/' && c != u'\\') ? c.toLower() : QChar(u'_'));
    if (name.isEmpty() || name == u"." || name == u"..")
        name.replace(u'.', u'_');
    if (name.isEmpty())
        name = QStringLiteral("_");
    if (name.toUtf8().size() <= NameBytes)
        return name;
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const qsizetype dot = name.lastIndexOf(u'.');
    QString suffix = dot >= 0 ? name.mid(dot) : QString();
    if (suffix.size() > 16)
        suffix.clear();
    QString kept = name.left(KeptChars);
    while (kept.toUtf8().size() > KeptChars)
        kept.chop(1);
    return kept + u'~' + QString::fromLatin1(digest) + suffix;
}

} // namespace

LocalNaming::LocalNaming(const QString &root)
    : m_root(QDir::cleanPath(QDir(root).absolutePath()))
{ }

QString LocalNaming::localDirectory(const QString &url) const
{
    return m_root + u'/' + relativeDirectory(url);
}

QString LocalNaming::localPath(const QString &url) const
{
    return localDirectory(url) + fileName(url);
}

QString LocalNaming::relativeDirectory(const QString &url)
{
    const UrlParts parts = UrlParts::split(url);
    QString directory;
    if (!parts.authority.isEmpty())
        directory = safeStep(parts.authority) + u'/';
    for (const QString &step : directorySteps(parts.path))
        directory += safeStep(step) + u'/';
    return directory;
}

QString LocalNaming::fileName(const QString &url)
{
    const UrlParts parts = UrlParts::split(url);
    QString name = fileStep(parts.path) + parts.tail;
    if (name.isEmpty())
        name = Index;
    if (name.contains(u'?'))
        name.remove(u'.');
    for (const QChar dropped : { u'/', u'?', u'=', u'#' })
        name.remove(dropped);
    if (!name.contains(u'.'))
        name += PageSuffix;
    return safeStep(name);
}

QString LocalNaming::directoryUrl(const QString &url)
{
    const QString text = url.trimmed();
    const UrlParts parts = UrlParts::split(text);
    const qsizetype pathStart = text.size() - parts.path.size() - parts.tail.size();
    const qsizetype lastSlash = parts.path.lastIndexOf(u'/');
    if (lastSlash < 0)
        return text.left(pathStart) + u'/';
    return text.left(pathStart + lastSlash + 1);
}

QString LocalNaming::serverRoot(const QString &url)
{
    const UrlParts parts = UrlParts::split(url);
    if (parts.scheme.isEmpty())
        return parts.authority + u'/';
    return parts.scheme + SchemeMark + parts.authority + u'/';
}

QString LocalNaming::scheme(const QString &url)
{
    return UrlParts::split(url).scheme;
}
