#include "SiteGenerator.h"
#include "TestCrawler.h"
#include "common/LighttpdPeer.h"
#include "crawler/CrawlerEngine.h"
#include "crawler/LinkResolver.h"
#include "crawler/LocalNaming.h"
#include "platform/InstanceRegistry.h"
#include "platform/ToolSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The paths of the requests in a lighttpd access log, in order, percent-decoded.
QStringList requestedPaths(const QString &log)
{
    static const QRegularExpression request(QStringLiteral("\"GET ([^ ]+) HTTP"));
    QStringList paths;
    auto matches = request.globalMatch(log);
    while (matches.hasNext())
        paths.append(QUrl::fromPercentEncoding(matches.next().captured(1).toUtf8()));
    return paths;
}

// lighttpd writes its access log in batches and all of it when it ends: the
// requests are counted once the server has stopped.
QStringList finalLog(LighttpdPeer &peer)
{
    peer.stop();
    return requestedPaths(peer.accessLog());
}

// Two hosts: the site on 127.0.0.1 and another host on 127.0.0.2.
struct Sites
{
    QTemporaryDir rootA;
    QTemporaryDir rootB;
    LighttpdPeer peerA;
    LighttpdPeer peerB;
    QString a; // http://127.0.0.1:port/
    QString b;

    bool start()
    {
        if (!peerA.start(rootA.path()) || !peerB.start(rootB.path(), QStringLiteral("127.0.0.2")))
            return false;
        a = peerA.baseUrl();
        b = peerB.baseUrl();
        return writeSite();
    }

    QString startUrl() const { return a + u"site/index.htm"_s; }

    bool write(QTemporaryDir &root, const QString &path, const QString &text)
    {
        return SiteGenerator::writeFile(root.filePath(path), text.toUtf8());
    }
    bool picture(QTemporaryDir &root, const QString &path, int size)
    {
        return SiteGenerator::writeFile(root.filePath(path), SiteGenerator::bodyFor(path, size));
    }

    bool writeSite()
    {
        const QString index = uR"(<html><body background="img/bg.jpg">
<a href=a.htm>a</a> <A HREF="sub/b.htm">b</A>
<a href="/site/sub/deep/c.htm">c</a> <a href="%1site/abs.htm">abs</a>
<img src="img/p1.gif"> <a href="find.cgi?a=1&b=x.y">upit</a> <a href="img/clip.wmf">crtež</a>
<a href="../x.htm">x</a> <a href="./y.htm">y</a> <a href=#top>vrh</a>
<a href="mailto:ivo@h.hr">pošta</a> <a href='q.htm'>q</a>
<a href="%2other/o1.htm">drugi</a> <img src="%2other/o.gif">
<a href="/top.htm">vrh poslužitelja</a>
</body></html>
)"_s.arg(a, b);
        const QString pageA
            = uR"(<html><body><a href="index.htm">natrag</a> <a href=sub/b.htm>b</a> <a href="čvor.htm">č</a>
<table><tr><td BACKGROUND=img/td.gif><img src="img/p1.gif"></td></tr></table></body></html>
)"_s;
        const QString pageB = uR"(<html><body><a href="deep/c.htm">c</a> <img src="/site/img/p2.gif">
<a href="../a.htm">a</a> <a href="%1site/abs.htm">abs</a>
<IMG SRC="Pic3.GIF"></body></html>
)"_s.arg(a);
        const QString pageC = uR"(<html><body><a href="%1other/o1.htm">drugi</a> <a href="/site/sub/deep/">mapa</a>
</body></html>
)"_s.arg(b);
        const QString abs = uR"(<html><body><a href="%1site/a.htm">a</a></body></html>
)"_s.arg(a.toUpper());
        const QString top = u"<html><body><a href=\"/site/never1.htm\">n</a></body></html>\r\n"_s;
        const QString other = uR"(<html><body><a href="o2.htm">o2</a> <img src="o2.gif">
<a href="%1site/never1.htm">n</a></body></html>
)"_s.arg(a);
        const QString plain = u"<html><body><p>Obična stranica.</p></body></html>\r\n"_s;
        return write(rootA, u"site/index.htm"_s, index) && write(rootA, u"site/a.htm"_s, pageA)
            && write(rootA, u"site/sub/b.htm"_s, pageB) && write(rootA, u"site/sub/deep/c.htm"_s, pageC)
            && write(rootA, u"site/sub/deep/index.htm"_s, plain) && write(rootA, u"site/abs.htm"_s, abs)
            && write(rootA, u"site/find.cgi"_s, plain) && write(rootA, u"top.htm"_s, top)
            && write(rootA, u"site/never1.htm"_s, plain) && write(rootA, u"site/čvor.htm"_s, plain)
            && write(rootA, u"site/x.htm"_s, plain) && write(rootA, u"x.htm"_s, plain)
            && write(rootA, u"site/y.htm"_s, plain) && write(rootA, u"site/q.htm"_s, plain)
            && picture(rootA, u"site/img/bg.jpg"_s, 7000) && picture(rootA, u"site/img/p1.gif"_s, 4097)
            && picture(rootA, u"site/img/td.gif"_s, 1) && picture(rootA, u"site/img/p2.gif"_s, 70000)
            && picture(rootA, u"site/img/clip.wmf"_s, 5000) && picture(rootA, u"site/sub/Pic3.GIF"_s, 4096)
            && write(rootB, u"other/o1.htm"_s, other) && picture(rootB, u"other/o.gif"_s, 3000)
            && write(rootB, u"other/o2.htm"_s, plain) && picture(rootB, u"other/o2.gif"_s, 100);
    }
};

// Same-site files: the server path, the file on the server, the local path under the host directory.
struct Mirrored
{
    QString request;
    QString served;
    QString local;
};

const QList<Mirrored> &siteFiles()
{
    static const QList<Mirrored> files = {
        { u"/site/index.htm"_s, u"site/index.htm"_s, u"site/index.htm"_s },
        { u"/site/a.htm"_s, u"site/a.htm"_s, u"site/a.htm"_s },
        { u"/site/sub/b.htm"_s, u"site/sub/b.htm"_s, u"site/sub/b.htm"_s },
        { u"/site/sub/deep/c.htm"_s, u"site/sub/deep/c.htm"_s, u"site/sub/deep/c.htm"_s },
        { u"/site/sub/deep/"_s, u"site/sub/deep/index.htm"_s, u"site/sub/deep/index.htm"_s },
        { u"/site/abs.htm"_s, u"site/abs.htm"_s, u"site/abs.htm"_s },
        { u"/site/find.cgi?a=1&b=x.y"_s, u"site/find.cgi"_s, u"site/findcgia1&bxy.htm"_s },
        { u"/site/čvor.htm"_s, u"site/čvor.htm"_s, u"site/čvor.htm"_s },
        { u"/site/img/bg.jpg"_s, u"site/img/bg.jpg"_s, u"site/img/bg.jpg"_s },
        { u"/site/img/p1.gif"_s, u"site/img/p1.gif"_s, u"site/img/p1.gif"_s },
        { u"/site/img/td.gif"_s, u"site/img/td.gif"_s, u"site/img/td.gif"_s },
        { u"/site/img/p2.gif"_s, u"site/img/p2.gif"_s, u"site/img/p2.gif"_s },
        { u"/site/img/clip.wmf"_s, u"site/img/clip.wmf"_s, u"site/img/clip.wmf"_s },
        { u"/site/sub/Pic3.GIF"_s, u"site/sub/Pic3.GIF"_s, u"site/sub/pic3.gif"_s },
    };
    return files;
}

QString hostDirectory(const QString &base)
{
    return LocalNaming::relativeDirectory(base);
}

} // namespace

class TestCrawlEngine : public QObject
{
    Q_OBJECT

private slots:
    void init() { ToolSettings::resetSharedValues(); }
    void mirrorsTheSite_data();
    void mirrorsTheSite();
    void secondStartFetchesOnlyTheStartPage();
    void keptCopiesAreRescannedFromDisk();
    void emptyQueueEndsAtOnce();
    void redirectedPageLinksFromItsNewAddress();
    void collidingUrlsKeepTheirOwnFiles();
    void linksResolveAsWritten();
    void deleteTakesOnlyAListedFile();
};

void TestCrawlEngine::mirrorsTheSite_data()
{
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QList<int>>("busy"); // workers that other windows keep busy
    QTest::newRow("pictures through the workers") << true << QList<int> {};
    QTest::newRow("pictures in the window") << false << QList<int> {};
    QTest::newRow("all four workers busy") << true << QList<int> { 0, 1, 2, 3 };
    QTest::newRow("A and C busy") << true << QList<int> { 0, 2 };
}

void TestCrawlEngine::mirrorsTheSite()
{
    QFETCH(bool, pictures);
    QFETCH(QList<int>, busy);
    const bool workersBusy = busy.size() == DownloadWorkers::Count;
    // Workers that other windows keep busy for the whole crawl.
    QList<InstanceRegistry::Claim> claims;
    for (const int index : std::as_const(busy)) {
        claims.append(InstanceRegistry::tryClaim(DownloadWorkers::procedureName(index)));
        QVERIFY(claims.constLast());
    }
    auto release = qScopeGuard([&] {
        for (qsizetype i = 0; i < claims.size(); ++i)
            InstanceRegistry::release(DownloadWorkers::procedureName(busy.at(i)), claims.at(i));
    });
    Sites sites;
    QVERIFY2(sites.start(), qPrintable(sites.peerA.errorText() + sites.peerB.errorText()));
    TestCrawler crawler;
    QVERIFY(crawler.crawl(sites.startUrl(), pictures));
    CrawlerEngine &engine = *crawler.engine;
    QCOMPARE(engine.status(), CrawlerEngine::doneText());
    QCOMPARE(engine.state(), int(CrawlerEngine::Finished));

    // Every same-site page and picture, byte-identical at its computed path.
    const QString hostA = crawler.work.filePath(hostDirectory(sites.a));
    for (const Mirrored &file : siteFiles()) {
        const QString local = hostA + file.local;
        QCOMPARE(engine.localPathOf(sites.a + file.request.mid(1)), local);
        QVERIFY2(SiteGenerator::readFile(local) == SiteGenerator::readFile(sites.rootA.filePath(file.served)),
            qPrintable(local));
    }

    // Each fetched once; skipped links and pages linked only from outside pages never.
    const QStringList logA = finalLog(sites.peerA);
    const QStringList logB = finalLog(sites.peerB);
    for (const Mirrored &file : siteFiles())
        QVERIFY2(logA.count(file.request) == 1, qPrintable(file.request + u" in "_s + logA.join(u' ')));
    QCOMPARE(logA.count(u"/top.htm"_s), 1);
    QCOMPARE(logB.count(u"/other/o1.htm"_s), 1);
    QCOMPARE(logB.count(u"/other/o.gif"_s), 1);
    QCOMPARE(logA.size(), siteFiles().size() + 1);
    QCOMPARE(logB.size(), 2);
    QCOMPARE(SiteGenerator::readFile(crawler.work.filePath(hostDirectory(sites.b) + u"other/o1.htm"_s)),
        SiteGenerator::readFile(sites.rootB.filePath(u"other/o1.htm"_s)));

    // The other host's files and the page above the site come after the whole site.
    const QStringList order = engine.requestedUrls();
    QCOMPARE(order.size(), siteFiles().size() + 3);
    QStringList last = order.mid(order.size() - 3);
    last.sort();
    QCOMPARE(last, (QStringList { sites.a + u"top.htm"_s, sites.b + u"other/o.gif"_s, sites.b + u"other/o1.htm"_s }));

    // Pictures went through the workers only when the pictures flag was on.
    QStringList handed;
    const QList<TestWorkerStarter::HandOver> handOvers = crawler.starter.handOvers();
    for (const TestWorkerStarter::HandOver &handOver : handOvers) {
        handed.append(handOver.job.url);
        QCOMPARE(handOver.job.localPath, engine.localPathOf(handOver.job.url));
        QVERIFY(handOver.job.proxy.isEmpty());
        QVERIFY(!busy.contains(handOver.worker));
    }
    QCOMPARE(handed, engine.workerUrls());
    if (pictures && !workersBusy) {
        QStringList expected;
        for (const QString &url : order) {
            if (LinkResolver::isDispatchedPicture(LocalNaming::fileName(url)))
                expected.append(url);
        }
        // Five pictures of the site, the other host's, and the drawing (.wmf) the scan counted as a file.
        QCOMPARE(expected.size(), 7);
        QVERIFY(expected.contains(sites.a + u"site/img/clip.wmf"_s));
        QCOMPARE(engine.queue().row(engine.queue().indexOf(sites.a + u"site/img/clip.wmf"_s)).cls,
            LinkQueue::SiteFile + LinkQueue::Taken);
        // The first picture goes to the first free worker in the order A, B, C, D.
        QVERIFY(!handOvers.isEmpty());
        QCOMPARE(handOvers.constFirst().worker, busy.isEmpty() ? 0 : 1);
        handed.sort();
        expected.sort();
        if (busy.isEmpty()) {
            QCOMPARE(handed, expected);
        } else {
            // With two workers taken, a picture may find both others busy and be fetched in the window.
            for (const QString &url : std::as_const(handed))
                QVERIFY(expected.contains(url));
        }
    } else {
        QVERIFY(handed.isEmpty());
    }

    // The list, its icons and the header agree with the disk.
    qint64 total = 0;
    const LocalFiles &files = engine.files();
    QCOMPARE(files.size(), siteFiles().size() + 3);
    for (const LocalFileRow &row : files.rows()) {
        const QFileInfo info(row.path);
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(row.path));
        QCOMPARE(row.icon, int(LocalFileRow::Listed));
        QCOMPARE(row.size, LocalFiles::sizeText(info.size()));
        total += info.size();
    }
    QCOMPARE(engine.pageCounter(), engine.queue().size());
    QCOMPARE(engine.header(), LocalFiles::header(engine.pageCounter(), engine.queue().size(), total));
    QVERIFY(engine.errorRows().isEmpty());
}

void TestCrawlEngine::secondStartFetchesOnlyTheStartPage()
{
    Sites sites;
    QVERIFY(sites.start());
    TestCrawler crawler;
    QVERIFY(crawler.crawl(sites.startUrl(), true, true));
    const int counter = crawler.engine->pageCounter();
    const int requests = int(crawler.engine->requestedUrls().size());

    QVERIFY(crawler.crawl(sites.startUrl(), true, true));
    QCOMPARE(crawler.engine->status(), CrawlerEngine::doneText());
    QCOMPARE(crawler.engine->requestedUrls().mid(requests), QStringList { sites.startUrl() });
    QCOMPARE(crawler.engine->pageCounter(), counter);
    QCOMPARE(crawler.engine->files().size(), 1);
    // The servers saw the first crawl and the start page once more.
    const QStringList logA = finalLog(sites.peerA);
    QCOMPARE(logA.size(), siteFiles().size() + 2);
    QCOMPARE(logA.count(u"/site/index.htm"_s), 2);
    QCOMPARE(finalLog(sites.peerB).size(), 2);
}

void TestCrawlEngine::keptCopiesAreRescannedFromDisk()
{
    Sites sites;
    QVERIFY(sites.start());
    QTemporaryDir mirror;
    {
        TestCrawler first(mirror.path());
        QVERIFY(first.crawl(sites.startUrl(), false));
    }
    // An empty local copy is fetched again; a non-empty one is read from disk.
    const QString emptied = mirror.filePath(hostDirectory(sites.a) + u"site/sub/b.htm"_s);
    QFile(emptied).resize(0);

    TestCrawler second(mirror.path());
    QVERIFY(second.crawl(sites.startUrl(), false, false));
    QStringList fetched = second.engine->requestedUrls();
    fetched.sort();
    QCOMPARE(fetched, (QStringList { sites.startUrl(), sites.a + u"site/sub/b.htm"_s }));
    QCOMPARE(SiteGenerator::readFile(emptied), SiteGenerator::readFile(sites.rootA.filePath(u"site/sub/b.htm"_s)));
    // Rescanned pages still queued everything the first crawl found.
    QCOMPARE(second.engine->queue().size(), siteFiles().size() + 2);
    QCOMPARE(second.engine->status(), CrawlerEngine::doneText());
    const QStringList logA = finalLog(sites.peerA);
    QCOMPARE(logA.size(), siteFiles().size() + 3);
    QCOMPARE(logA.count(u"/site/index.htm"_s), 2);
    QCOMPARE(logA.count(u"/site/sub/b.htm"_s), 2);
    QCOMPARE(finalLog(sites.peerB).size(), 2);
}

void TestCrawlEngine::emptyQueueEndsAtOnce()
{
    QTemporaryDir root;
    SiteGenerator::writeFile(root.filePath(u"solo.htm"_s), "<html><body>Bez poveznica.</body></html>");
    LighttpdPeer peer;
    QVERIFY2(peer.start(root.path()), qPrintable(peer.errorText()));
    TestCrawler crawler;
    QVERIFY(crawler.crawl(peer.baseUrl() + u"solo.htm"_s, true));
    QCOMPARE(crawler.engine->status(), CrawlerEngine::doneText());
    QCOMPARE(crawler.engine->pageCounter(), 0);
    QCOMPARE(crawler.engine->files().size(), 1);
    QCOMPARE(crawler.engine->files().row(0).icon, int(LocalFileRow::Listed));
    QCOMPARE(crawler.engine->header(), LocalFiles::header(0, 0, 40));
}

// lighttpd sends a directory named without its final "/" on to the name with
// it: the page's relative links stand on the address it came from.
void TestCrawlEngine::redirectedPageLinksFromItsNewAddress()
{
    QTemporaryDir root;
    SiteGenerator::writeFile(
        root.filePath(u"mapa/index.htm"_s), "<html><body><a href=\"dalje.htm\">d</a></body></html>");
    SiteGenerator::writeFile(root.filePath(u"mapa/dalje.htm"_s), "<html><body>Kraj.</body></html>");
    LighttpdPeer peer;
    QVERIFY2(peer.start(root.path()), qPrintable(peer.errorText()));
    TestCrawler crawler;
    QVERIFY(crawler.crawl(peer.baseUrl() + u"mapa"_s, true));
    QCOMPARE(crawler.engine->status(), CrawlerEngine::doneText());
    QCOMPARE(crawler.engine->requestedUrls(),
        (QStringList { peer.baseUrl() + u"mapa"_s, peer.baseUrl() + u"mapa/dalje.htm"_s }));
    QCOMPARE(SiteGenerator::readFile(crawler.engine->localPathOf(peer.baseUrl() + u"mapa/dalje.htm"_s)),
        QByteArray("<html><body>Kraj.</body></html>"));
    QVERIFY(crawler.engine->errorRows().isEmpty());
}

void TestCrawlEngine::deleteTakesOnlyAListedFile()
{
    Sites sites;
    QVERIFY(sites.start());
    TestCrawler crawler;
    QVERIFY(crawler.crawl(sites.startUrl(), false));
    const QString page = crawler.engine->localPathOf(sites.a + u"site/a.htm"_s);
    QVERIFY(crawler.engine->files().indexOf(page) >= 0);
    // A second Start lists only the start page: a file chosen from the earlier list stays.
    QVERIFY(crawler.crawl(sites.startUrl(), false));
    QCOMPARE(crawler.engine->files().size(), 1);
    crawler.engine->deleteFile(page);
    QVERIFY(QFileInfo::exists(page));
    QCOMPARE(crawler.engine->files().size(), 1);

    const QString start = crawler.engine->localPathOf(sites.startUrl());
    crawler.engine->deleteFile(start);
    QVERIFY(!QFileInfo::exists(start));
    QCOMPARE(crawler.engine->files().row(0).icon, int(LocalFileRow::Missing));
    QCOMPARE(crawler.engine->files().totalBytes(), 0);
}

// URLs whose local names the naming rules make the same, crawled together: each
// is asked for once and kept in a file of its own, and a later crawl with
// overwrite off finds each in its own copy, which it rescans.
void TestCrawlEngine::collidingUrlsKeepTheirOwnFiles()
{
    struct Pair
    {
        QString link; // on the start page
        QString served; // the file lighttpd answers it with
    };
    const QList<Pair> links = {
        { u"a"_s, u"c/a"_s },
        { u"a.htm"_s, u"c/a.htm"_s },
        { u"/c/"_s, u"c/index.htm"_s }, // the start page's own name
        { u"dir/"_s, u"c/dir/index.htm"_s },
        { u"dir/index.htm"_s, u"c/dir/index.htm"_s },
        { u"q.cgi?x=1.5"_s, u"c/q.cgi"_s },
        { u"q.cgi?x=15"_s, u"c/q.cgi"_s },
        { u"s?a=b"_s, u"c/s"_s },
        { u"s?ab"_s, u"c/s"_s },
        { u"Case.htm"_s, u"c/Case.htm"_s },
        { u"case.htm"_s, u"c/case.htm"_s },
        { u"B.txt"_s, u"c/B.txt"_s }, // a file, then a directory of its name
        { u"b.txt/x.htm"_s, u"c/b.txt/x.htm"_s },
        { u"e.txt/y.htm"_s, u"c/e.txt/y.htm"_s }, // a directory, then a file of its name
        { u"E.txt"_s, u"c/E.txt"_s },
    };
    QTemporaryDir served;
    QByteArray index = "<html><body>\r\n";
    for (const Pair &pair : links)
        index += "<a href=\"" + pair.link.toUtf8() + "\">x</a>\r\n";
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"c/index.htm"_s), index));
    // Every page links a target of its own, so a copy rescanned for the wrong URL shows.
    QStringList targets;
    for (const Pair &pair : links) {
        if (pair.served == u"c/index.htm")
            continue;
        const QString target = u"t-"_s + QString::number(qHash(pair.served), 16) + u".htm"_s;
        if (!QFileInfo::exists(served.filePath(pair.served))) {
            QVERIFY(SiteGenerator::writeFile(served.filePath(pair.served),
                "<html><body><a href=\"/c/" + target.toUtf8() + "\">t</a> " + pair.served.toUtf8() + "</body></html>"));
            QVERIFY(SiteGenerator::writeFile(served.filePath(u"c/"_s + target), "<p>t</p>"));
            targets.append(u"c/"_s + target);
        }
    }
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));
    const QString start = peer.baseUrl() + u"c/index.htm"_s;
    QTemporaryDir mirror;
    QSet<QString> paths;
    {
        TestCrawler crawler(mirror.path());
        QVERIFY(crawler.crawl(start, false));
        QVERIFY(crawler.engine->errorRows().isEmpty());
        for (const Pair &pair : links) {
            const QString url = LinkResolver::absolute(pair.link, start);
            const QString local = crawler.engine->localPathOf(url);
            paths.insert(local);
            QVERIFY2(SiteGenerator::readFile(local) == SiteGenerator::readFile(served.filePath(pair.served)),
                qPrintable(url + u" in "_s + local));
        }
    }
    paths.insert(mirror.filePath(LocalNaming::relativeDirectory(start) + u"index.htm"_s));
    QCOMPARE(paths.size(), links.size() + 1);
    // Asked for once each, the targets too; nothing else.
    const QStringList log = finalLog(peer);
    for (const Pair &pair : links) {
        const QString path
            = QUrl(LinkResolver::absolute(pair.link, start)).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority);
        QVERIFY2(log.count(path) == 1, qPrintable(path + u" in "_s + log.join(u' ')));
    }
    QCOMPARE(log.size(), 1 + links.size() + targets.size());

    // The second crawl asks for the start page alone and finds every target again in the copies.
    QVERIFY(peer.restart());
    TestCrawler second(mirror.path());
    QVERIFY(second.crawl(start, false));
    QCOMPARE(finalLog(peer).mid(log.size()), QStringList { u"/c/index.htm"_s });
    for (const QString &target : std::as_const(targets))
        QVERIFY2(second.engine->queue().contains(peer.baseUrl() + target), qPrintable(target));
}

// Dot steps are worked out before a URL is queued, a page reached through a
// redirect (also a kept copy of it, later) stands on the address it came from,
// and a URL on another host that names the site in its query is outside.
void TestCrawlEngine::linksResolveAsWritten()
{
    Sites sites;
    QVERIFY(sites.start());
    const QString outside = sites.b + u"out.htm?ref="_s + sites.a + u"d/"_s;
    QVERIFY(sites.write(sites.rootA, u"d/p.htm"_s,
        u"<a href=\"x/..\">a</a> <a href=\"a/./b\">b</a> <a href=\"k/.\">k</a> <a href=\"docs\">d</a> <a href=\"%1\">o</a>"_s
            .arg(outside)));
    QVERIFY(sites.write(sites.rootA, u"d/index.htm"_s, u"<a href=p.htm>p</a>"_s));
    QVERIFY(sites.write(sites.rootA, u"d/k/index.htm"_s, u"<p>k</p>"_s));
    QVERIFY(sites.write(sites.rootA, u"d/docs/index.htm"_s, u"<a href=deep.htm>deep</a>"_s));
    QVERIFY(sites.write(sites.rootA, u"d/docs/deep.htm"_s, u"<p>deep</p>"_s));
    QVERIFY(sites.write(sites.rootB, u"out.htm"_s, u"<a href=never.htm>n</a>"_s));
    const QString start = sites.a + u"d/p.htm"_s;
    QTemporaryDir mirror;
    {
        TestCrawler crawler(mirror.path());
        QVERIFY(crawler.crawl(start, false));
        const LinkQueue &queue = crawler.engine->queue();
        QCOMPARE(queue.row(queue.indexOf(outside)).cls, LinkQueue::Outside + LinkQueue::Taken);
        QVERIFY(crawler.engine->errorRows().isEmpty());
    }
    const QStringList firstLogA = finalLog(sites.peerA);
    QStringList logA = firstLogA;
    logA.sort();
    QCOMPARE(logA,
        (QStringList { u"/d/"_s, u"/d/docs"_s, u"/d/docs/"_s, u"/d/docs/deep.htm"_s, u"/d/k/"_s, u"/d/p.htm"_s }));
    QCOMPARE(finalLog(sites.peerB), QStringList { u"/out.htm?ref="_s + sites.a + u"d/"_s });

    // A second crawl rescans the kept copy of "docs" against "docs/", where it came from.
    QVERIFY(sites.peerA.restart());
    TestCrawler second(mirror.path());
    QVERIFY(second.crawl(start, false));
    QVERIFY(second.engine->queue().contains(sites.a + u"d/docs/deep.htm"_s));
    QVERIFY(!second.engine->queue().contains(sites.a + u"d/deep.htm"_s));
    QCOMPARE(finalLog(sites.peerA).mid(firstLogA.size()), QStringList { u"/d/p.htm"_s });
}

QTEST_GUILESS_MAIN(TestCrawlEngine)
#include "tst_crawlengine.moc"
