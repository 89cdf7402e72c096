#include "SiteGenerator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

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

namespace {

bool writePicture(const QString &path, int width, int height, const QColor &colour, const char *format)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    // A band across it, so a picture shown in the wrong place shows.
    for (int y = height / 3; y < height / 2; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixelColor(x, y, colour.darker(180));
    return picture.save(path, format);
}

// A 1x1 GIF: Qt reads GIFs but does not write them.
const QByteArray TinyGif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP8AAP///yH5BAEAAAEALAAAAAABAAEAAAICRAEAOw==");

} // namespace

SiteGenerator::ModernSite SiteGenerator::writeModernSite(const QString &root, const QString &otherRoot,
    const QString &siteHost, const QString &otherHost, const QString &deadHost)
{
    ModernSite site;
    const QDir dir(root);
    auto text = [&](const QString &path, const QString &content) {
        site.files.append(path);
        return writeFile(dir.filePath(path), content.toUtf8());
    };
    auto picture = [&](const QString &path, int width, int height, const QColor &colour) {
        site.files.append(path);
        const QByteArray format = path.endsWith(u".png") ? "PNG" : "JPG";
        return writePicture(dir.filePath(path), width, height, colour, format.constData());
    };
    const QString head = QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                                        "<link rel=\"stylesheet\" href=\"/m/css/site.css\"></head>\n<body>\n");
    bool ok = text(QStringLiteral("m/index.htm"),
        head.arg(QStringLiteral("Moderna"))
            + QStringLiteral(
                "<style>.hero { background: url('img/hero.jpg') no-repeat; width: 120px; height: 60px }</style>\n"
                "<h1>Moderna stranica</h1><div class=\"hero\"></div>\n"
                "<img src=\"img/photo-400.jpg\" srcset=\"img/photo-400.jpg 400w, img/photo-800.jpg 800w, "
                "img/photo-1600.jpg 1600w\" sizes=\"200px\" width=\"200\" alt=\"foto\">\n"
                "<picture><source srcset=\"img/pic.png 1x, img/pic-2x.png 2x\" media=\"(min-width: 1px)\">"
                "<img src=\"img/pic-fallback.png\" alt=\"slika\"></picture>\n"
                "<video poster=\"img/poster.jpg\" width=\"80\" height=\"40\"></video>\n"
                "<p class=\"box\" style=\"background-image:url(&quot;img/dot.gif&quot;)\">kutija</p>\n"
                "<p><a href=\"pages/b.htm\">b</a> <a href=\"/m/pages/c.htm\">c</a> "
                "<a href=\"%1m/list.htm?page=2\">popis</a> <a href=\"ext.htm\">vani</a></p>\n"
                "<p><a href=\"%2other/o.htm\">drugi</a> <img src=\"%2other/o.jpg\" alt=\"drugi\"></p>\n"
                "</body></html>\n")
                  .arg(siteHost, otherHost));
    ok = ok
        && text(QStringLiteral("m/css/site.css"),
            QStringLiteral("@import \"parts/fonts.css\";\n@import url(parts/layout.css);\n"
                           "body { background: #eef url(../img/bg.png) repeat-x; font-family: sans-serif }\n"));
    ok = ok
        && text(QStringLiteral("m/css/parts/fonts.css"),
            QStringLiteral(
                "@font-face { font-family: Proba; src: url(\"../../fonts/proba.ttf\") format(\"truetype\") }\n"
                "h1 { font-family: Proba, sans-serif }\n"));
    ok = ok
        && text(QStringLiteral("m/css/parts/layout.css"),
            QStringLiteral(".box { padding: 8px; background-color: #ffd; }\n"
                           "/* an old picture: url(../../img/none.png) */\n"
                           ".hero { border: 4px solid; border-image: url('../../img/frame.png') 1 }\n"));
    ok = ok
        && text(QStringLiteral("m/pages/b.htm"),
            QStringLiteral("<!doctype html><html><head><base href=\"/m/\"><title>B</title>"
                           "<link rel=\"stylesheet\" href=\"css/site.css\"></head><body>\n"
                           "<h1>B</h1><img src=\"img/base.png\" alt=\"b\"> <a href=\"index.htm\">natrag</a> "
                           "<a href=\"pages/c.htm\">c</a>\n</body></html>\n"));
    ok = ok
        && text(QStringLiteral("m/pages/c.htm"),
            head.arg(QStringLiteral("C"))
                + QStringLiteral("<h1>C</h1><img src=\"/m/img/c.png\" alt=\"c\"> <a href=\"%1m/index.htm\">natrag</a>\n"
                                 "</body></html>\n")
                      .arg(siteHost));
    ok = ok
        && text(QStringLiteral("m/list.htm"),
            head.arg(QStringLiteral("Popis"))
                + QStringLiteral(
                    "<h1>Popis</h1><a href=\"list.htm?page=3\">dalje</a> <a href=\"index.htm\">natrag</a>\n"
                    "</body></html>\n"));
    // Every link of this page leads to a host nobody serves: it has no copies to lead to.
    ok = ok
        && text(QStringLiteral("m/ext.htm"),
            QStringLiteral("<html><body><p>Vani: <a href=\"%1nowhere.htm\">nigdje</a>, "
                           "<a href=\"%1dir/page.htm?x=1&amp;y=2\">upit</a>.</p></body></html>\n")
                .arg(deadHost));
    ok = ok && picture(QStringLiteral("m/img/hero.jpg"), 120, 60, QColor(200, 60, 60));
    for (const int width : { 400, 800, 1600 })
        ok = ok && picture(QStringLiteral("m/img/photo-%1.jpg").arg(width), width / 4, width / 8, QColor(60, 120, 200));
    ok = ok && picture(QStringLiteral("m/img/pic.png"), 60, 40, QColor(60, 180, 90))
        && picture(QStringLiteral("m/img/pic-2x.png"), 120, 80, QColor(60, 180, 90))
        && picture(QStringLiteral("m/img/pic-fallback.png"), 60, 40, QColor(90, 90, 90))
        && picture(QStringLiteral("m/img/poster.jpg"), 80, 40, QColor(230, 180, 40))
        && picture(QStringLiteral("m/img/bg.png"), 8, 40, QColor(220, 220, 255))
        && picture(QStringLiteral("m/img/frame.png"), 4, 4, QColor(0, 0, 0))
        && picture(QStringLiteral("m/img/base.png"), 40, 40, QColor(150, 40, 150))
        && picture(QStringLiteral("m/img/c.png"), 40, 40, QColor(40, 150, 150));
    site.files.append(QStringLiteral("m/img/dot.gif"));
    ok = ok && writeFile(dir.filePath(QStringLiteral("m/img/dot.gif")), TinyGif);
    site.files.append(QStringLiteral("m/fonts/proba.ttf"));
    const QByteArray font = readFile(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"));
    ok = ok && font != "<missing>" && writeFile(dir.filePath(QStringLiteral("m/fonts/proba.ttf")), font);
    // The other host: a page the crawl mirrors but does not follow, and a picture.
    site.otherFiles = { QStringLiteral("other/o.htm"), QStringLiteral("other/o.jpg") };
    ok = ok
        && writeFile(QDir(otherRoot).filePath(QStringLiteral("other/o.htm")),
            "<html><body><a href=\"o2.htm\">dalje</a></body></html>\n")
        && writePicture(QDir(otherRoot).filePath(QStringLiteral("other/o.jpg")), 50, 30, QColor(250, 120, 0), "JPG");
    site.pages = { QStringLiteral("m/index.htm"), QStringLiteral("m/pages/b.htm"), QStringLiteral("m/pages/c.htm"),
        QStringLiteral("m/list.htm?page=2"), QStringLiteral("m/list.htm?page=3"), QStringLiteral("m/ext.htm") };
    if (!ok)
        return {};
    return site;
}
