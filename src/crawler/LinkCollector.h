#pragma once

#include "crawler/LinkScanner.h"

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

    // Reads a saved page as one stream and queues its references; the number of
    // new URLs, or -1 when the page cannot be read.
    int scanFile(const QString &path, const QString &pageUrl);
    // Queues the references of a page held in memory.
    int scanBytes(QByteArrayView page, const QString &pageUrl);
    // Queues one reference as found on the page; whether it was new.
    bool collect(const QByteArray &reference, const QString &pageUrl);
    // Makes the local directory of a path (each directory once per crawl window).
    void makeDirectory(const QString &localPath);

private:
    int collectAll(const QList<QByteArray> &references, const QString &pageUrl);

    LinkQueue &m_queue;
    LocalFiles &m_files;
    MirrorIndex &m_index;
    QString m_site;
    bool m_overwrite = false;
    QSet<QString> m_madeDirectories;
};
