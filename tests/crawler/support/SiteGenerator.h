#pragma once

#include <QString>
#include <QStringList>

// Writes test sites into a server's document root, and reads mirrored files back.
namespace SiteGenerator {

// A site of `pages` pages in nested folders and `pictures` pictures, every page
// reachable from /index.htm through relative and root-relative links, no links
// to other hosts and none that climb with "../". Returns the paths of every
// file, relative to the root ("index.htm", "d3/e1/p17.htm", "img/i4.gif").
QStringList writeBulkSite(const QString &root, int pages, int pictures);

// A site built as sites are built today, under "m/" of the root: pictures in
// srcset (img and picture/source) and poster=, stylesheets importing others
// with url(../...) fonts and backgrounds, a <style> block, style= attributes,
// a page with <base href>, pages with query names, root-relative and absolute
// links, a page whose links all lead to a host nobody serves (deadHost, e.g.
// http://127.0.0.1:port/), and a link and a picture on another host (otherHost,
// "http://127.0.0.2:port/", serving the files this returns under "other/" too).
// Returns every file of the site host's root that a crawl is to fetch.
struct ModernSite
{
    QStringList files; // under the site host's root: "m/index.htm", "m/img/hero.jpg" ...
    QStringList otherFiles; // under the other host's root
    QStringList pages; // the site's pages as the crawl names them: "m/index.htm", "m/list.htm?page=2"
};
ModernSite writeModernSite(const QString &root, const QString &otherRoot, const QString &siteHost,
    const QString &otherHost, const QString &deadHost);

// A file with bytes that depend on its name, so a mixed-up copy is caught.
QByteArray bodyFor(const QString &name, int size);
bool writeFile(const QString &path, const QByteArray &bytes);
// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString &path);

} // namespace SiteGenerator
