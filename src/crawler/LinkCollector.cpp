#include "crawler/LinkCollector.h"

#include "crawler/LinkQueue.h"
#include "crawler/LinkResolver.h"
#include "crawler/LocalFiles.h"
#include "crawler/MirrorIndex.h"
#include "platform/inet/ReadSize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

LinkCollector::LinkCollector(LinkQueue &queue, LocalFiles &files, MirrorIndex &index)
    : m_queue(queue)
    , m_files(files)
    , m_index(index)
{ }

int LinkCollector::scanFile(const QString &path, const QString &pageUrl)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    LinkScanner scanner;
    QList<QByteArray> references;
    int added = 0;
    QByteArray buffer(inet::ReadSize, Qt::Uninitialized);
    while (true) {
        const qint64 count = file.read(buffer.data(), inet::ReadSize);
        if (count <= 0)
            break;
        scanner.feed(QByteArrayView(buffer.constData(), count), references);
        added += collectAll(references, pageUrl);
        references.clear();
    }
    scanner.finish(references);
    return added + collectAll(references, pageUrl);
}

int LinkCollector::scanBytes(QByteArrayView page, const QString &pageUrl)
{
    return collectAll(LinkScanner::scan(page), pageUrl);
}

int LinkCollector::collectAll(const QList<QByteArray> &references, const QString &pageUrl)
{
    int added = 0;
    for (const QByteArray &reference : references)
        added += collect(reference, pageUrl) ? 1 : 0;
    return added;
}

bool LinkCollector::collect(const QByteArray &reference, const QString &pageUrl)
{
    const QString text = LinkResolver::text(reference);
    if (LinkResolver::hasForeignScheme(text))
        return false;
    const QString url = LinkResolver::absolute(text, pageUrl);
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

void LinkCollector::makeDirectory(const QString &localPath)
{
    const QString directory = localPath.left(localPath.lastIndexOf(u'/') + 1);
    if (m_madeDirectories.contains(directory))
        return;
    QDir().mkpath(directory);
    m_madeDirectories.insert(directory);
}
