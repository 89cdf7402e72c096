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

// A file with bytes that depend on its name, so a mixed-up copy is caught.
QByteArray bodyFor(const QString &name, int size);
bool writeFile(const QString &path, const QByteArray &bytes);
// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString &path);

} // namespace SiteGenerator
