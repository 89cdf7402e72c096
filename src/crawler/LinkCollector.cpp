#include "crawler/LinkCollector.h"

#include "crawler/LinkQueue.h"
#include "crawler/LinkResolver.h"
#include "crawler/LocalFiles.h"
#include "crawler/MirrorIndex.h"
#include "platform/inet/ReadSize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString StylesheetType = QStringLiteral("text/css");
const QString StylesheetSuffix = QStringLiteral(".css");

// A reference without its fragment: the part after "#" is never asked of a server.
QByteArray withoutFragment(const QByteArray &reference)
{
    const qsizetype mark = reference.indexOf('#');
    return mark < 0 ? reference : reference.left(mark);
}

} // namespace

LinkCollector::LinkCollector(LinkQueue &queue, LocalFiles &files, MirrorIndex &index)
    : m_queue(queue)
    , m_files(files)
    , m_index(index)
{ }

ReferenceFinder::Kind LinkCollector::kindOf(const QString &path, const QString &mediaType)
{
    const bool stylesheet = mediaType == StylesheetType || path.endsWith(StylesheetSuffix, Qt::CaseInsensitive);
    return stylesheet ? ReferenceFinder::Kind::Stylesheet : ReferenceFinder::Kind::Page;
}

int LinkCollector::scanFile(const QString &path, const QString &pageUrl, ReferenceFinder::Kind kind, bool ownPaths)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    ReferenceFinder finder(kind, ownPaths);
    QByteArray buffer(inet::ReadSize, Qt::Uninitialized);
    while (true) {
        const qint64 count = file.read(buffer.data(), inet::ReadSize);
        if (count <= 0)
            break;
        finder.feed(QByteArrayView(buffer.constData(), count));
    }
    return collectFound(finder.finish(), pageUrl, path, ownPaths);
}

int LinkCollector::collectFound(
    const ReferenceFinder::Found &found, const QString &pageUrl, const QString &pagePath, bool ownPaths)
{
    int added = 0;
    if (ownPaths) {
        for (const QByteArray &reference : found.references) {
            const QString text = LinkResolver::text(reference);
            const QString url = LinkResolver::isAbsolute(text) ? text : ownPathUrl(reference, pagePath);
            added += !url.isEmpty() && collectUrl(url) ? 1 : 0;
        }
        return added;
    }
    // Relative references stand on the page's base when it names one.
    const QString base
        = found.base.isEmpty() ? pageUrl : LinkResolver::absolute(LinkResolver::text(found.base), pageUrl);
    for (const QByteArray &reference : found.references)
        added += collect(reference, base) ? 1 : 0;
    return added;
}

int LinkCollector::scanBytes(QByteArrayView page, const QString &pageUrl)
{
    ReferenceFinder finder(ReferenceFinder::Kind::Page);
    finder.feed(page);
    return collectFound(finder.finish(), pageUrl, QString(), false);
}

bool LinkCollector::collect(const QByteArray &reference, const QString &base)
{
    const QString text = LinkResolver::text(withoutFragment(reference));
    if (text.trimmed().isEmpty() || LinkResolver::hasForeignScheme(text))
        return false;
    return collectUrl(LinkResolver::absolute(text, base));
}

bool LinkCollector::collectUrl(const QString &url)
{
    if (m_queue.contains(url))
        return false;
    const QString path = m_index.pathFor(url);
    makeDirectory(path);
    m_files.add(path);
    const QFileInfo local(path);
    const bool present = local.isFile() && local.size() > 0;
    m_queue.append(url,
        LinkQueue::classify(
            LinkResolver::isScannedPicture(url), LinkResolver::isInside(url, m_site), present, m_overwrite));
    return true;
}

QString LinkCollector::ownPathUrl(const QByteArray &reference, const QString &pagePath) const
{
    const QString relative = QUrl::fromPercentEncoding(withoutFragment(reference));
    if (relative.isEmpty() || relative.startsWith(u'/'))
        return {};
    const QString directory = pagePath.left(pagePath.lastIndexOf(u'/') + 1);
    return m_index.urlAt(QDir::cleanPath(directory + relative));
}

void LinkCollector::makeDirectory(const QString &localPath)
{
    const QString directory = localPath.left(localPath.lastIndexOf(u'/') + 1);
    if (m_madeDirectories.contains(directory))
        return;
    QDir().mkpath(directory);
    m_madeDirectories.insert(directory);
}
