#pragma once

#include "crawler/ReferenceFinder.h"

#include <QSet>
#include <QString>

class LinkQueue;
class LocalFiles;
class MirrorIndex;

// Takes the references of a page into the link queue: each new URL gets its
// own local path (its directories are made on the way), a row in the
// local-files list and its class.
class LinkCollector
{
public:
    LinkCollector(LinkQueue &queue, LocalFiles &files, MirrorIndex &index);

    // The site: URLs that start with it are inside.
    void setSite(const QString &site) { m_site = site; }
    QString site() const { return m_site; }
    void setOverwrite(bool overwrite) { m_overwrite = overwrite; }

    // How the crawl reads a saved file: as a stylesheet when the server said
    // text/css or its name ends in ".css", else as a page.
    static ReferenceFinder::Kind kindOf(const QString &path, const QString &mediaType);

    // Reads a saved file as one stream and queues its references; the number of
    // new URLs, or -1 when the file cannot be read. ownPaths: the crawler has
    // rewritten the file's links into relative paths of the mirror.
    int scanFile(const QString &path, const QString &pageUrl, ReferenceFinder::Kind kind, bool ownPaths);
    // Queues what was found in the page at pageUrl, saved at pagePath.
    int collectFound(
        const ReferenceFinder::Found &found, const QString &pageUrl, const QString &pagePath, bool ownPaths);
    // Queues the references of a page held in memory.
    int scanBytes(QByteArrayView page, const QString &pageUrl);
    // Queues one reference as found on the page (or under the page's base); whether it was new.
    bool collect(const QByteArray &reference, const QString &base);
    // Makes the local directory of a path (each directory once per crawl window).
    void makeDirectory(const QString &localPath);

private:
    bool collectUrl(const QString &url);
    // The URL whose copy a relative path of the mirror names, seen from pagePath.
    QString ownPathUrl(const QByteArray &reference, const QString &pagePath) const;

    LinkQueue &m_queue;
    LocalFiles &m_files;
    MirrorIndex &m_index;
    QString m_site;
    bool m_overwrite = false;
    QSet<QString> m_madeDirectories;
};
