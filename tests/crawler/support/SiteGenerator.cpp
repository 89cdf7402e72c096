#include "SiteGenerator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString pagePath(int index)
{
    if (index == 0)
        return QStringLiteral("index.htm");
    // Ten pages per folder, folders two levels deep.
    const int folder = index / 10;
    return QStringLiteral("d%1/e%2/p%3.htm").arg(folder / 10).arg(folder % 10).arg(index);
}

QString picturePath(int index)
{
    return QStringLiteral("img/g%1/i%2.gif").arg(index % 10).arg(index);
}

QString directoryOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

// A reference from one page to a target: relative within its folder,
// root-relative otherwise.
QString reference(const QString &from, const QString &to)
{
    const QString folder = directoryOf(from);
    if (!folder.isEmpty() && to.startsWith(folder) && !to.mid(folder.size()).contains(u'/'))
        return to.mid(folder.size());
    return u'/' + to;
}

} // namespace

QByteArray SiteGenerator::bodyFor(const QString &name, int size)
{
    QByteArray bytes;
    bytes.reserve(size);
    QByteArray seed = name.toUtf8();
    while (bytes.size() < size) {
        seed = QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
        bytes.append(seed);
    }
    bytes.truncate(size);
    return bytes;
}

bool SiteGenerator::writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray SiteGenerator::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList SiteGenerator::writeBulkSite(const QString &root, int pages, int pictures)
{
    QStringList files;
    for (int index = 0; index < pages; ++index) {
        const QString path = pagePath(index);
        QByteArray html = "<html><head><title>Stranica " + QByteArray::number(index) + "</title></head>\r\n<body>\r\n";
        // A spanning tree keeps every page reachable; a few more links make it a web.
        QList<int> targets;
        for (int child = index * 3 + 1; child <= index * 3 + 3 && child < pages; ++child)
            targets.append(child);
        targets.append((index * 7 + 11) % pages);
        targets.append((index + 1) % pages);
        for (const int target : std::as_const(targets)) {
            html += "<p>Tekst o stranici, dovoljno dugačak da stranica ima nešto sadržaja. <a href=\""
                + reference(path, pagePath(target)).toUtf8() + "\">stranica " + QByteArray::number(target)
                + "</a></p>\r\n";
        }
        for (int picture = index; picture < pictures; picture += pages)
            html += "<img src=\"" + reference(path, picturePath(picture)).toUtf8() + "\">\r\n";
        html += "</body></html>\r\n";
        if (!writeFile(QDir(root).filePath(path), html))
            return {};
        files.append(path);
    }
    for (int picture = 0; picture < pictures; ++picture) {
        const QString path = picturePath(picture);
        if (!writeFile(QDir(root).filePath(path), bodyFor(path, 2000 + picture * 37)))
            return {};
        files.append(path);
    }
    return files;
}
