#include "SiteGenerator.h"
#include "TestCrawler.h"
#include "platform/ToolSettings.h"
#include "server/support/RunningServer.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The Crawler mirrors a directory that Torvex's own HTTP server serves: links
// written with other capitals than the files', escaped names, root-relative
// links, pictures through the workers, and a directory without a default page
// whose listing page leads on to the files in it.
class TestCrawlHttpServer : public QObject
{
    Q_OBJECT

private slots:
    void init() { ToolSettings::resetSharedValues(); }

    void mirrorsTheServedDirectory_data()
    {
        QTest::addColumn<bool>("pictures");
        QTest::newRow("pictures through the workers") << true;
        QTest::newRow("pictures in the window") << false;
    }

    void mirrorsTheServedDirectory()
    {
        QFETCH(bool, pictures);
        RunningServer server;
        // The served name, and the URL path the Crawler reaches it by.
        const QList<QPair<QString, QString>> files {
            { u"default.htm"_s, u""_s },
            { u"stranice/prva.htm"_s, u"Stranice/Prva.HTM"_s },
            { u"moj dokument.htm"_s, u"moj%20dokument.htm"_s },
            { u"slike/a.gif"_s, u"slike/a.gif"_s },
            { u"slike/b.gif"_s, u"slike/b.gif"_s },
            { u"slike/pozadina.jpg"_s, u"slike/pozadina.jpg"_s },
            { u"arhiva/zapis.txt"_s, u"arhiva/zapis.txt"_s },
            { u"arhiva/stari/x.txt"_s, u"arhiva/stari/x.txt"_s },
        };
        server.addFile(u"default.htm"_s, R"(<html><body background="slike/pozadina.jpg">
<a href="Stranice/Prva.HTM">prva</a> <a href="moj%20dokument.htm">dokument</a>
<a href="/arhiva/">arhiva</a> <img src="slike/a.gif"></body></html>
)");
        server.addFile(u"stranice/prva.htm"_s, R"(<html><body><img src="/slike/b.gif"></body></html>
)");
        server.addFile(u"moj dokument.htm"_s, "<html><body><p>Dokument.</p></body></html>\r\n");
        server.addFile(u"slike/a.gif"_s, SiteGenerator::bodyFor(u"a.gif"_s, 5000));
        server.addFile(u"slike/b.gif"_s, SiteGenerator::bodyFor(u"b.gif"_s, 70000));
        server.addFile(u"slike/pozadina.jpg"_s, SiteGenerator::bodyFor(u"pozadina.jpg"_s, 1));
        server.addFile(u"arhiva/zapis.txt"_s, SiteGenerator::bodyFor(u"zapis.txt"_s, 3000));
        server.addFile(u"arhiva/stari/x.txt"_s, SiteGenerator::bodyFor(u"x.txt"_s, 10));

        TestCrawler crawler;
        QVERIFY(crawler.crawl(server.url(u"/"_s), pictures));
        QCOMPARE(crawler.engine->status(), CrawlerEngine::doneText());
        for (const auto &[served, path] : files) {
            const QString local = crawler.engine->localPathOf(server.url(u'/' + path));
            QVERIFY2(SiteGenerator::readFile(local) == SiteGenerator::readFile(server.root() + served),
                qPrintable(served + u" -> "_s + local));
        }
        // The listing page of the directory without a default page was mirrored too.
        QVERIFY(SiteGenerator::readFile(crawler.engine->localPathOf(server.url(u"/arhiva/"_s))).contains("zapis.txt"));
        for (const QString &status : server.statuses()) {
            QVERIFY2(!status.startsWith(u"40"_s), qPrintable(status));
        }
        QCOMPARE(crawler.starter.handOvers().isEmpty(), !pictures);
    }
};

QTEST_GUILESS_MAIN(TestCrawlHttpServer)
#include "tst_crawlhttpserver.moc"
