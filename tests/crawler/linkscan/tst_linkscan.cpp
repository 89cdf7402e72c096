#include "crawler/CssScanner.h"
#include "crawler/LinkCollector.h"
#include "crawler/LinkConverter.h"
#include "crawler/LinkQueue.h"
#include "crawler/LinkResolver.h"
#include "crawler/LinkScanner.h"
#include "crawler/LocalFiles.h"
#include "crawler/LocalNaming.h"
#include "crawler/MarkupScanner.h"
#include "crawler/MirrorIndex.h"
#include "crawler/ReferenceFinder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using References = QList<QByteArray>;

class TestLinkScan : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void acrossPieces_data();
    void acrossPieces();
    void modernReferences_data();
    void modernReferences();
    void relativePaths_data();
    void relativePaths();
    void referenceText_data();
    void referenceText();
    void resolve_data();
    void resolve();
    void foreignSchemes_data();
    void foreignSchemes();
    void naming_data();
    void naming();
    void collidingUrlsGetTheirOwnFiles_data();
    void collidingUrlsGetTheirOwnFiles();
    void hostileUrlsStayUnderTheRoot_data();
    void hostileUrlsStayUnderTheRoot();
    void classify_data();
    void classify();
    void duplicateOnAnotherPage();
    void directoriesAreMade();
    void queueOrderAndRetries();
};

void TestLinkScan::scan_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<References>("expected");

    QTest::newRow("unquoted") << QByteArray("<a href=a.htm>x</a>") << References { "a.htm" };
    QTest::newRow("quoted, > right after") << QByteArray("<A HREF=\"a.htm\">x</A>") << References { "a.htm" };
    QTest::newRow("case kept") << QByteArray("<img Src=\"Dir/Pic.GIF\">") << References { "Dir/Pic.GIF" };
    QTest::newRow("three names in order") << QByteArray("<body background=bg.jpg><img src=i.gif><a href=p.htm>")
                                          << References { "bg.jpg", "i.gif", "p.htm" };
    QTest::newRow("only BACKGROUND=") << QByteArray("<table BACKGROUND=\"t.gif\"><td background=u.gif>")
                                      << References { "t.gif", "u.gif" };
    QTest::newRow("blanks after =") << QByteArray("<a href=   \"x.htm\">") << References { "x.htm" };
    QTest::newRow("line break after =") << QByteArray("<a href=\r\n\"x.htm\">") << References { "x.htm" };
    QTest::newRow("tab after =") << QByteArray("<img src=\t y.gif>") << References { "y.gif" };
    QTest::newRow("blank before = is no name")
        << QByteArray("<a href =x.htm><img src= y.gif>") << References { "y.gif" };
    QTest::newRow("cut at the closing quote") << QByteArray("<a href=\"a.htm\"class=x>") << References { "a.htm" };
    QTest::newRow("ends at a blank") << QByteArray("<a href=a.htm title=t>") << References { "a.htm" };
    QTest::newRow("CR in a value") << QByteArray("<a href=\"a\r.htm\">") << References { "a" };
    QTest::newRow("CRLF after a value") << QByteArray("<a href=\"b.htm\"\r\n>") << References { "b.htm" };
    QTest::newRow("root-relative keeps its slash") << QByteArray("<a href=\"/x/y.htm\">") << References { "/x/y.htm" };
    QTest::newRow("absolute") << QByteArray("<a href=http://h/a.htm><a href=HTTPS://s/b.htm>")
                              << References { "http://h/a.htm", "HTTPS://s/b.htm" };
    QTest::newRow("query") << QByteArray("<a href=find.cgi?a=1&b=x.y>") << References { "find.cgi?a=1&b=x.y" };
    QTest::newRow("ampersand written as &amp;")
        << QByteArray("<a href=\"find.cgi?a=1&amp;b=2&amp;amp;c\">") << References { "find.cgi?a=1&b=2&amp;c" };
    QTest::newRow("skip INTERNAL-GOPHER")
        << QByteArray("<a href=internal-gopher-menu><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("skip ./") << QByteArray("<a href=./a.htm><a href=../b.htm><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("skip .\\") << QByteArray("<a href=.\\a.htm><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("skip apostrophe") << QByteArray("<a href='a.htm'><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("skip @") << QByteArray("<a href=mailto:ivo@h.hr><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("skip #") << QByteArray("<a href=#top><a href=p.htm#x><a href=k.htm>") << References { "k.htm" };
    QTest::newRow("runs to the end of the page") << QByteArray("<a href=last.htm") << References { "last.htm" };
    QTest::newRow("empty value") << QByteArray("<a href=>") << References { "" };
    QTest::newRow("no references") << QByteArray("<p>hrefs and srcs=</p>") << References {};
}

void TestLinkScan::scan()
{
    QFETCH(QByteArray, page);
    QFETCH(References, expected);
    QCOMPARE(LinkScanner::scan(page), expected);
}

void TestLinkScan::acrossPieces_data()
{
    QTest::addColumn<QByteArray>("page");
    QByteArray big;
    for (int i = 0; i < 400; ++i)
        big += "<p>filler text <a href=\"page" + QByteArray::number(i) + ".htm\">x</a> <img src=p"
            + QByteArray::number(i) + ".gif> BACKGROUND=b" + QByteArray::number(i) + ".jpg\r\n";
    QTest::newRow("mixed page") << big;
    QTest::newRow("long value") << (QByteArray("<a href=\"") + QByteArray(30000, 'x') + "\">");
}

void TestLinkScan::acrossPieces()
{
    QFETCH(QByteArray, page);
    const References whole = LinkScanner::scan(page);
    QVERIFY(!whole.isEmpty());
    // Every piece size, including the 10,240-byte reads a page was once scanned in.
    for (const qsizetype piece : { 1, 2, 3, 7, 11, 64, 4096, 10240 }) {
        LinkScanner scanner;
        References found;
        for (qsizetype at = 0; at < page.size(); at += piece)
            scanner.feed(QByteArrayView(page).sliced(at, std::min(piece, page.size() - at)), found);
        scanner.finish(found);
        QCOMPARE(found, whole);
    }
}

// Beyond the three names: srcset, poster, CSS in style attributes, <style>
// blocks and stylesheets; <base href> is the page's base, not a link.
void TestLinkScan::modernReferences_data()
{
    QTest::addColumn<bool>("stylesheet");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<References>("expected");
    QTest::addColumn<QByteArray>("base");

    QTest::newRow("srcset of img") << false
                                   << QByteArray(
                                          "<img src=a.jpg srcset=\"a-400.jpg 400w, a-800.jpg 800w,a-1600.jpg 2x\">")
                                   << References { "a.jpg", "a-400.jpg", "a-800.jpg", "a-1600.jpg" } << QByteArray();
    QTest::newRow("srcset of source, commas at a URL's end")
        << false << QByteArray("<picture><source srcset='p.png, p2.png 2x,q.png,'></picture>")
        << References { "p.png", "p2.png", "q.png" } << QByteArray();
    QTest::newRow("poster") << false << QByteArray("<video poster=\"../v/first.jpg\"></video>")
                            << References { "../v/first.jpg" } << QByteArray();
    QTest::newRow("style attribute") << false
                                     << QByteArray("<div style=\"background: url('img/x.png') no-repeat\"></div>")
                                     << References { "img/x.png" } << QByteArray();
    QTest::newRow("style attribute, &quot;") << false << QByteArray("<p style=\"background:url(&quot;d.gif&quot;)\">")
                                             << References { "d.gif" } << QByteArray();
    QTest::newRow("style block") << false
                                 << QByteArray("<style>@import \"a.css\"; @import url(b.css); p{background:url(c.png)} "
                                               "/* url(no.png) */</style><p>url(text.png)</p>")
                                 << References { "a.css", "b.css", "c.png" } << QByteArray();
    QTest::newRow("script text is no markup")
        << false << QByteArray("<script>var s = '<img srcset=\"s.jpg\">';</script><img srcset=t.jpg>")
        << References { "t.jpg" } << QByteArray();
    QTest::newRow("base sets the base") << false
                                        << QByteArray("<head><base href=\"http://h/d/\"></head><a href=a.htm>a</a>")
                                        << References { "a.htm" } << QByteArray("http://h/d/");
    QTest::newRow("a link to the base's address stays a link")
        << false << QByteArray("<base href=http://h/d/><a href=http://h/d/>d</a>") << References { "http://h/d/" }
        << QByteArray("http://h/d/");
    QTest::newRow("stylesheet") << true
                                << QByteArray(
                                       "@import 'parts/fonts.css' screen;\n@font-face{src:url( \"../f/a.woff2\" ) "
                                       "format(\"woff2\")}\nbody{background:URL(../img/bg.png)}")
                                << References { "parts/fonts.css", "../f/a.woff2", "../img/bg.png" } << QByteArray();
    QTest::newRow("stylesheet comments and names")
        << true << QByteArray("/* @import \"x.css\"; */ a{x-url(no.png);b:url(y.png)}") << References { "y.png" }
        << QByteArray();
    QTest::newRow("a stylesheet holds no HTML links")
        << true << QByteArray("a[href=x.htm]{}") << References {} << QByteArray();
}

void TestLinkScan::modernReferences()
{
    QFETCH(bool, stylesheet);
    QFETCH(QByteArray, text);
    QFETCH(References, expected);
    QFETCH(QByteArray, base);
    const auto kind = stylesheet ? ReferenceFinder::Kind::Stylesheet : ReferenceFinder::Kind::Page;
    // The same whatever pieces the text comes in.
    for (const qsizetype piece : { 1, 3, 7, 4096 }) {
        ReferenceFinder finder(kind);
        for (qsizetype at = 0; at < text.size(); at += piece)
            finder.feed(QByteArrayView(text).sliced(at, std::min(piece, text.size() - at)));
        const ReferenceFinder::Found found = finder.finish();
        QCOMPARE(found.references, expected);
        QCOMPARE(found.base, base);
    }
    // Each reference's place holds its text, so it can be rewritten there.
    const FoundReferences placed = stylesheet ? CssScanner::scan(text) : MarkupScanner::scan(text);
    for (const FoundReference &reference : placed) {
        const QByteArray written = text.mid(reference.start, reference.end - reference.start);
        QCOMPARE(QByteArray(written).replace("&amp;", "&"), reference.text);
    }
}

void TestLinkScan::relativePaths_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("path");
    QTest::newRow("same directory") << u"/m/h/d/"_s << u"/m/h/d/a.htm"_s << u"a.htm"_s;
    QTest::newRow("below") << u"/m/h/"_s << u"/m/h/d/e/a.htm"_s << u"d/e/a.htm"_s;
    QTest::newRow("above") << u"/m/h/d/e/"_s << u"/m/h/a.htm"_s << u"../../a.htm"_s;
    QTest::newRow("another host") << u"/m/h:81/d/"_s << u"/m/o:82/x.gif"_s << u"../../o%3A82/x.gif"_s;
    QTest::newRow("names a browser would read otherwise")
        << u"/m/h/"_s << u"/m/h/findcgia1&bxy.htm"_s << u"findcgia1%26bxy.htm"_s;
    QTest::newRow("escapes and letters") << u"/m/h/"_s << u"/m/h/%c4%8dvor č.htm"_s << u"%25c4%258dvor%20%C4%8D.htm"_s;
}

void TestLinkScan::relativePaths()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, path);
    QCOMPARE(LinkConverter::relativePath(from, to), path);
}

void TestLinkScan::referenceText_data()
{
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ASCII") << QByteArray("sub/a.htm?x=1") << u"sub/a.htm?x=1"_s;
    QTest::newRow("UTF-8 page") << QByteArray("\xc4\x8d"
                                              "vor/\xc5\xbe"
                                              "a.htm")
                                << u"\u010dvor/\u017ea.htm"_s;
    QTest::newRow("Windows-1250 page") << QByteArray("\xe8vor/\x9e"
                                                     "a.htm")
                                       << u"%E8vor/%9Ea.htm"_s;
    QTest::newRow("escapes stand") << QByteArray("a%20b.htm") << u"a%20b.htm"_s;
}

void TestLinkScan::referenceText()
{
    QFETCH(QByteArray, reference);
    QFETCH(QString, expected);
    const QString text = LinkResolver::text(reference);
    QCOMPARE(text, expected);
    // The server is asked for the page's own bytes.
    QCOMPARE(QByteArray::fromPercentEncoding(text.toUtf8()), QByteArray::fromPercentEncoding(reference));
}

void TestLinkScan::resolve_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");

    const QString page = QStringLiteral("http://h/d/p.htm");
    QTest::newRow("relative") << u"a.htm"_s << page << u"http://h/d/a.htm"_s;
    QTest::newRow("relative deeper") << u"x/y.htm"_s << page << u"http://h/d/x/y.htm"_s;
    QTest::newRow("root-relative") << u"/x/y.htm"_s << page << u"http://h/x/y.htm"_s;
    QTest::newRow("scheme-relative") << u"//o/x.htm"_s << page << u"http://o/x.htm"_s;
    QTest::newRow("http") << u"http://o/x.htm"_s << page << u"http://o/x.htm"_s;
    QTest::newRow("https") << u"https://s/x.htm"_s << page << u"https://s/x.htm"_s;
    QTest::newRow("upper-case scheme") << u"HTTP://O/X.htm"_s << page << u"HTTP://O/X.htm"_s;
    QTest::newRow("ftp") << u"ftp://f/pub/a.zip"_s << page << u"ftp://f/pub/a.zip"_s;
    QTest::newRow("page without a path") << u"a.htm"_s << u"http://h"_s << u"http://h/a.htm"_s;
    QTest::newRow("page with a port") << u"/a.htm"_s << u"http://h:81/d/p.htm"_s << u"http://h:81/a.htm"_s;
    QTest::newRow("slash in the query") << u"c.htm"_s << u"http://h/d/p.cgi?x=a/b"_s << u"http://h/d/c.htm"_s;
    QTest::newRow("https page, root-relative") << u"/x"_s << u"https://h/d/"_s << u"https://h/x"_s;
    QTest::newRow("https page, scheme-relative") << u"//o/y"_s << u"https://h/d/"_s << u"https://o/y"_s;
    QTest::newRow("climbs back to the directory") << u"x/.."_s << page << u"http://h/d/"_s;
    QTest::newRow("stays in a directory") << u"x/."_s << page << u"http://h/d/x/"_s;
    QTest::newRow("dot steps of an absolute URL") << u"http://o/a/./b/../c.htm"_s << page << u"http://o/a/c.htm"_s;
    QTest::newRow("never above the root") << u"/../../x.htm"_s << page << u"http://h/x.htm"_s;
    QTest::newRow("a dotted name is no dot step") << u"a..b/.c"_s << page << u"http://h/d/a..b/.c"_s;
    QTest::newRow("query of the page") << u"?p=2"_s << u"http://h/d/p.cgi?p=1"_s << u"http://h/d/p.cgi?p=2"_s;
}

void TestLinkScan::resolve()
{
    QFETCH(QString, reference);
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QCOMPARE(LinkResolver::absolute(reference, page), expected);
}

void TestLinkScan::foreignSchemes_data()
{
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<bool>("queued");
    QTest::newRow("script") << QByteArray("javascript:go(1)") << false;
    QTest::newRow("script, capitals") << QByteArray("JavaScript:void(0)") << false;
    QTest::newRow("data") << QByteArray("data:image/gif;base64,R0lGOD") << false;
    QTest::newRow("telephone") << QByteArray("tel:+38512345") << false;
    QTest::newRow("news") << QByteArray("news:hr.comp") << false;
    QTest::newRow("http") << QByteArray("http://o/x.htm") << true;
    QTest::newRow("https") << QByteArray("HTTPS://o/x.htm") << true;
    QTest::newRow("ftp") << QByteArray("ftp://f/a.zip") << true;
    QTest::newRow("relative") << QByteArray("a.htm") << true;
    QTest::newRow("colon in the query") << QByteArray("find.cgi?t=10:30") << true;
    QTest::newRow("colon in a later step") << QByteArray("d/a:b.htm") << true;
    QTest::newRow("root-relative with a colon") << QByteArray("/x:y.htm") << true;
}

void TestLinkScan::foreignSchemes()
{
    QFETCH(QByteArray, reference);
    QFETCH(bool, queued);
    QTemporaryDir root;
    LinkQueue queue;
    LocalFiles files;
    MirrorIndex index(root.path(), root.filePath(QStringLiteral("TORVEX.MAP")));
    LinkCollector collector(queue, files, index);
    collector.setSite(QStringLiteral("http://h/d/"));
    QCOMPARE(collector.collect(reference, QStringLiteral("http://h/d/p.htm")), queued);
    QCOMPARE(queue.size(), queued ? 1 : 0);
    QCOMPARE(files.size(), queued ? 1 : 0);
}

void TestLinkScan::naming_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("file");

    QTest::newRow("root") << u"http://host/"_s << u"host/"_s << u"index.htm"_s;
    QTest::newRow("no path") << u"http://host"_s << u"host/"_s << u"index.htm"_s;
    QTest::newRow("no dot") << u"http://host/dir"_s << u"host/"_s << u"dir.htm"_s;
    QTest::newRow("query") << u"http://host/cgi/find.cgi?a=1&b=x.y"_s << u"host/cgi/"_s << u"findcgia1&bxy.htm"_s;
    QTest::newRow("picture") << u"http://host/pic.GIF"_s << u"host/"_s << u"pic.gif"_s;
    QTest::newRow("nested") << u"http://host/a/b/page.htm"_s << u"host/a/b/"_s << u"page.htm"_s;
    QTest::newRow("port and case") << u"http://Host:8080/A/B/"_s << u"host:8080/a/b/"_s << u"index.htm"_s;
    QTest::newRow("slash in the query") << u"http://h/d/p.cgi?x=a/b"_s << u"h/d/"_s << u"pcgixab.htm"_s;
    QTest::newRow("fragment") << u"http://h/p#x"_s << u"h/"_s << u"px.htm"_s;
    QTest::newRow("https") << u"https://h/s/x.jpg"_s << u"h/s/"_s << u"x.jpg"_s;
    QTest::newRow("ftp") << u"ftp://f/pub/a.zip"_s << u"f/pub/"_s << u"a.zip"_s;
    QTest::newRow("dot steps") << u"http://h/a/./b/../c/x.htm"_s << u"h/a/c/"_s << u"x.htm"_s;
    QTest::newRow("climbs above the top") << u"http://h/../../etc/passwd"_s << u"h/etc/"_s << u"passwd.htm"_s;
    QTest::newRow("backslashes") << u"http://h/a\\..\\..\\b\\x.htm"_s << u"h/b/"_s << u"x.htm"_s;
    QTest::newRow("host ..") << u"http://../x"_s << u"__/"_s << u"x.htm"_s;
    QTest::newRow("no host") << u"http:///etc/passwd"_s << u"etc/"_s << u"passwd.htm"_s;
    QTest::newRow("file ..") << u"http://h/a/.."_s << u"h/"_s << u"index.htm"_s;
    QTest::newRow("control character") << QStringLiteral("http://h/a\x01"
                                                         "b.htm")
                                       << u"h/"_s << u"a_b.htm"_s;
    QTest::newRow("empty steps") << u"http://h//a///b.htm"_s << u"h/a/"_s << u"b.htm"_s;
}

void TestLinkScan::naming()
{
    QFETCH(QString, url);
    QFETCH(QString, directory);
    QFETCH(QString, file);
    QCOMPARE(LocalNaming::relativeDirectory(url), directory);
    QCOMPARE(LocalNaming::fileName(url), file);
    const LocalNaming naming(QStringLiteral("/srv/web"));
    QCOMPARE(naming.localPath(url), u"/srv/web/"_s + directory + file);
}

// Pairs of different URLs whose names the naming rules make the same: the first
// keeps it, the second gets a name of its own derived from its URL, the same
// again in a later crawl that reads the record.
void TestLinkScan::collidingUrlsGetTheirOwnFiles_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("firstPath"); // under the root
    QTest::newRow("name and name.htm") << u"http://h/a"_s << u"http://h/a.htm"_s << u"h/a.htm"_s;
    QTest::newRow("root and its index") << u"http://h/"_s << u"http://h/index.htm"_s << u"h/index.htm"_s;
    QTest::newRow("directory and its index") << u"http://h/d/"_s << u"http://h/d/index.htm"_s << u"h/d/index.htm"_s;
    QTest::newRow("queries without dots")
        << u"http://h/q.cgi?x=1.5"_s << u"http://h/q.cgi?x=15"_s << u"h/qcgix15.htm"_s;
    QTest::newRow("queries without signs") << u"http://h/s?a=b"_s << u"http://h/s?ab"_s << u"h/sab.htm"_s;
    QTest::newRow("http and https") << u"http://h/x.htm"_s << u"https://h/x.htm"_s << u"h/x.htm"_s;
    QTest::newRow("capitals") << u"http://h/Case.htm"_s << u"http://h/case.htm"_s << u"h/case.htm"_s;
    QTest::newRow("file, then a directory of its name") << u"http://h/b.txt"_s << u"http://h/b.txt/x"_s << u"h/b.txt"_s;
    QTest::newRow("directory, then a file of its name")
        << u"http://h/e.txt/y"_s << u"http://h/e.txt"_s << u"h/e.txt/y.htm"_s;
}

void TestLinkScan::collidingUrlsGetTheirOwnFiles()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, firstPath);
    QTemporaryDir root;
    const QString record = root.filePath(u"TORVEX.MAP"_s);
    QString firstLocal;
    QString secondLocal;
    {
        MirrorIndex index(root.path(), record);
        firstLocal = index.pathFor(first);
        secondLocal = index.pathFor(second);
        QCOMPARE(firstLocal, root.filePath(firstPath));
        QVERIFY2(secondLocal != firstLocal, qPrintable(secondLocal));
        QVERIFY2(secondLocal.contains(u'~'), qPrintable(secondLocal));
        QVERIFY(!secondLocal.startsWith(firstLocal + u'/') && !firstLocal.startsWith(secondLocal + u'/'));
        QVERIFY(secondLocal.startsWith(root.path() + u'/'));
        QCOMPARE(index.pathFor(second), secondLocal);
        QVERIFY(index.save());
    }
    // A later crawl that meets them the other way round finds each URL's own file.
    MirrorIndex later(root.path(), record);
    later.load();
    QCOMPARE(later.pathFor(second), secondLocal);
    QCOMPARE(later.pathFor(first), firstLocal);
    // Without the record, the same order gives the same names.
    QFile::remove(record);
    MirrorIndex fresh(root.path(), record);
    fresh.load();
    QCOMPARE(fresh.pathFor(first), firstLocal);
    QCOMPARE(fresh.pathFor(second), secondLocal);
}

void TestLinkScan::hostileUrlsStayUnderTheRoot_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("dots") << u"http://h/../../../../x"_s;
    QTest::newRow("dot host") << u"http://./."_s;
    QTest::newRow("absolute path") << u"/etc/passwd"_s;
    QTest::newRow("query climbs") << u"http://h/x?../../y"_s;
    QTest::newRow("long step") << (u"http://h/"_s + QString(600, u'a') + u"/"_s + QString(400, u'b') + u".htm"_s);
    QTest::newRow("long query") << (u"http://h/find.cgi?q="_s + QString(1000, u'z'));
    QTest::newRow("letters beyond ASCII") << u"http://h/\u010d\u0107/\u017e.htm"_s;
}

void TestLinkScan::hostileUrlsStayUnderTheRoot()
{
    QFETCH(QString, url);
    const QString root = QStringLiteral("/srv/web");
    const QString path = LocalNaming(root).localPath(url);
    QVERIFY2(path.startsWith(root + u'/'), qPrintable(path));
    QCOMPARE(QDir::cleanPath(path), path);
    for (const QString &step : path.mid(root.size() + 1).split(u'/')) {
        QVERIFY(!step.isEmpty());
        QVERIFY(step != u"." && step != u"..");
        QVERIFY2(step.toUtf8().size() <= 255, qPrintable(step));
    }
}

void TestLinkScan::classify_data()
{
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<int>("cls");

    QTest::newRow("page") << QByteArray("a.htm") << false << int(LinkQueue::SiteFile);
    QTest::newRow("picture") << QByteArray("i/pic.GIF") << false << int(LinkQueue::SitePicture);
    QTest::newRow("jpeg") << QByteArray("x.jpeg") << false << int(LinkQueue::SitePicture);
    QTest::newRow("wmf is a file to the scan") << QByteArray("x.wmf") << false << int(LinkQueue::SiteFile);
    QTest::newRow("root-relative inside") << QByteArray("/d/e/f.htm") << false << int(LinkQueue::SiteFile);
    QTest::newRow("root-relative above the site") << QByteArray("/top.htm") << false << int(LinkQueue::Outside);
    QTest::newRow("absolute inside") << QByteArray("HTTP://H/D/z.htm") << false << int(LinkQueue::SiteFile);
    QTest::newRow("page on another host") << QByteArray("http://o/x.htm") << false << int(LinkQueue::Outside);
    QTest::newRow("picture on another host") << QByteArray("http://o/x.gif") << false << int(LinkQueue::Outside);
    QTest::newRow("https elsewhere") << QByteArray("https://h/d/x.htm") << false << int(LinkQueue::Outside);
    QTest::newRow("kept copy, overwrite off") << QByteArray("kept.htm") << false << int(LinkQueue::SiteKept);
    QTest::newRow("kept copy, overwrite on") << QByteArray("kept.htm") << true << int(LinkQueue::SiteFile);
    QTest::newRow("kept picture, overwrite off") << QByteArray("kept.gif") << false << int(LinkQueue::SiteKept);
    QTest::newRow("empty copy, overwrite off") << QByteArray("empty.htm") << false << int(LinkQueue::SiteFile);
    QTest::newRow("empty picture, overwrite off") << QByteArray("empty.gif") << false << int(LinkQueue::SitePicture);
}

void TestLinkScan::classify()
{
    QFETCH(QByteArray, reference);
    QFETCH(bool, overwrite);
    QFETCH(int, cls);

    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("h/d")));
    auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(root.filePath(QStringLiteral("h/d/") + QLatin1StringView(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("kept.htm", "<p>x</p>");
    write("kept.gif", "GIF89a");
    write("empty.htm", "");
    write("empty.gif", "");

    LinkQueue queue;
    LocalFiles files;
    MirrorIndex index(root.path(), root.filePath(QStringLiteral("TORVEX.MAP")));
    LinkCollector collector(queue, files, index);
    collector.setSite(QStringLiteral("http://h/d/"));
    collector.setOverwrite(overwrite);
    QVERIFY(collector.collect(reference, QStringLiteral("http://h/d/p.htm")));
    QCOMPARE(queue.size(), 1);
    QCOMPARE(queue.row(0).cls, cls);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.row(0).icon, int(LocalFileRow::Queued));
    QCOMPARE(files.row(0).path, index.naming().localPath(queue.row(0).url));
}

void TestLinkScan::duplicateOnAnotherPage()
{
    QTemporaryDir root;
    LinkQueue queue;
    LocalFiles files;
    MirrorIndex index(root.path(), root.filePath(QStringLiteral("TORVEX.MAP")));
    LinkCollector collector(queue, files, index);
    collector.setSite(QStringLiteral("http://h/"));
    // The server tells A.HTM from a.htm: both are new.
    QCOMPARE(collector.scanBytes("<a href=a.htm><a href=b/c.htm><a href=A.HTM>", QStringLiteral("http://h/p.htm")), 3);
    // Another page names the same URLs, relative, root-relative and absolute.
    QCOMPARE(collector.scanBytes("<a href=/b/c.htm><a href=../a.htm><a href=http://H/a.htm><img src=n.gif>",
                 QStringLiteral("http://h/b/q.htm")),
        1);
    QCOMPARE(queue.size(), 4);
    QCOMPARE(queue.row(3).url, u"http://h/b/n.gif"_s);
    // A start page counts as known once marked.
    queue.markKnown(QStringLiteral("http://h/"));
    QVERIFY(!collector.collect("/", QStringLiteral("http://h/b/q.htm")));
}

void TestLinkScan::directoriesAreMade()
{
    QTemporaryDir root;
    LinkQueue queue;
    LocalFiles files;
    MirrorIndex index(root.path(), root.filePath(QStringLiteral("TORVEX.MAP")));
    LinkCollector collector(queue, files, index);
    collector.setSite(QStringLiteral("http://host/"));
    QVERIFY(collector.collect("a/b/page.htm", QStringLiteral("http://host/")));
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("host/a/b"))).isDir());
    QCOMPARE(files.row(0).path, root.filePath(QStringLiteral("host/a/b/page.htm")));
}

void TestLinkScan::queueOrderAndRetries()
{
    LinkQueue queue;
    queue.append(QStringLiteral("http://h/o.htm"), LinkQueue::Outside);
    queue.append(QStringLiteral("http://h/a.htm"), LinkQueue::SiteFile);
    queue.append(QStringLiteral("http://h/k.htm"), LinkQueue::SiteKept);
    queue.append(QStringLiteral("http://h/p.gif"), LinkQueue::SitePicture);
    queue.append(QStringLiteral("http://h/b.htm"), LinkQueue::SiteFile);
    QCOMPARE(queue.waiting(), 5);

    QList<int> order;
    while (const auto next = queue.takeNext())
        order.append(*next);
    QCOMPARE(order, (QList<int> { 3, 1, 4, 2, 0 }));
    QCOMPARE(queue.row(3).cls, 11);

    // A picture tries the classes 1..4, a file 5..8: four tries each; outside URLs one.
    auto tries = [&](int index) {
        int count = 1;
        while (queue.retry(index)) {
            if (queue.takeNext() != std::optional<int>(index))
                return -1;
            ++count;
        }
        return count;
    };
    QCOMPARE(tries(3), 4);
    QCOMPARE(queue.row(3).cls, 14);
    QCOMPARE(tries(1), 4);
    QCOMPARE(queue.row(1).cls, 18);
    QCOMPARE(tries(0), 1);
    QCOMPARE(tries(2), 1);
    QVERIFY(!queue.takeNext());
    // Scheme and host in any case, the path as written.
    QVERIFY(queue.contains(QStringLiteral("HTTP://H/a.htm")));
    QVERIFY(!queue.contains(QStringLiteral("http://h/A.htm")));
}

QTEST_GUILESS_MAIN(TestLinkScan)
#include "tst_linkscan.moc"
