#include "FaultSite.h"
#include "SiteGenerator.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "crawler/CrawlerEngine.h"
#include "crawler/LocalNaming.h"
#include "platform/ToolSettings.h"
#include "platform/inet/SessionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// This machine's open TCP connections to a loopback port, from /proc/net/tcp.
int connectionsTo(quint16 port)
{
    QFile table(u"/proc/net/tcp"_s);
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray remotePort = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl local_address rem_address st: 01 is an established connection.
        if (fields.size() > 3 && fields.at(2).endsWith(remotePort) && fields.at(3) == "01")
            ++count;
    }
    return count;
}

// An engine on the test's thread with its own Settings file and mirror.
struct Engine
{
    QTemporaryDir work;
    CrawlerEngine engine { SettingsFile(work.filePath(u"TORVEX.INI"_s)), work.path() };

    Engine(std::chrono::milliseconds readLimit)
    {
        engine.setReadLimit(readLimit);
        engine.start();
    }
    ~Engine() { engine.stop(); }
    void start(const QString &address)
    {
        CrawlerEngine::Fields fields = engine.fields();
        fields.address = address;
        fields.pictures = false;
        engine.setFields(fields);
        engine.startCrawl();
    }
    qint64 savedBytes(const QString &url) const { return QFileInfo(engine.localPathOf(url)).size(); }
};

int rowsWith(const EventLogRows &rows, const QString &status, const QString &description)
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [&](const EventLogRow &row) {
        return row.handle == u"ERROR:" && row.status == status && row.description == description;
    }));
}

} // namespace

class TestCrawlFaults : public QObject
{
    Q_OBJECT

private slots:
    void init() { ToolSettings::resetSharedValues(); }
    void retriesFollowTheAnswer();
    void fileThatCannotBeCreatedIsAnError();
    void abortEndsTheFetchKeepingWhatArrived();
    void disconnectClosesEveryConnection();
    void startResumesAnInterruptedCrawl();
};

void TestCrawlFaults::retriesFollowTheAnswer()
{
    FaultSite site;
    QVERIFY2(site.start(), qPrintable(site.peer.errorText()));
    QTemporaryDir work;
    CrawlerEngine engine(SettingsFile(work.filePath(u"TORVEX.INI"_s)), work.path());
    engine.setReadLimit(std::chrono::milliseconds(1000));
    engine.start();
    CrawlerEngine::Fields fields = engine.fields();
    fields.address = site.url(u"index.htm"_s);
    fields.pictures = false;
    engine.setFields(fields);
    QSignalSpy finished(&engine, &CrawlerEngine::crawlFinished);
    engine.startCrawl();
    QVERIFY(finished.wait(60000));
    QCOMPARE(engine.status(), CrawlerEngine::doneText());

    QCOMPARE(site.requests(u"index.htm"_s), 1);
    QCOMPARE(site.requests(u"ok.htm"_s), 1);
    // A refusal of the server is final: asked once, one error row.
    QCOMPARE(site.requests(u"missing.htm"_s), 1);
    QCOMPARE(site.requests(u"lost.gif"_s), 1);
    // (a redirect loop is one fetch: the redirects it followed before giving up)
    QCOMPARE(site.requests(u"loop.htm"_s), inet::SessionSettings().maxRedirects + 1);
    // A failure that may pass next time is tried four times.
    QCOMPARE(site.requests(u"busy.htm"_s), 4);
    QCOMPARE(site.requests(u"reset.htm"_s), 4);
    // An empty answer or a hang-up brings no bytes: tried four times as well.
    QCOMPARE(site.requests(u"empty.htm"_s), 4);
    QCOMPARE(site.requests(u"hangup.htm"_s), 4);
    // What arrived of a stalled page is kept, and it is not fetched again.
    QCOMPARE(site.requests(u"stall.htm"_s), 1);
    const QString stalled = engine.localPathOf(site.url(u"stall.htm"_s));
    QFile file(stalled);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(1000, 's'));
    // So is what arrived of a body cut short by the server.
    QCOMPARE(site.requests(u"short.htm"_s), 1);
    QFile shortened(engine.localPathOf(site.url(u"short.htm"_s)));
    QVERIFY(shortened.open(QIODevice::ReadOnly));
    QCOMPARE(shortened.readAll(), QByteArray(500, 'h'));

    const EventLogRows errors = engine.errorRows();
    QCOMPARE(rowsWith(errors, u"404"_s, QString()), 2);
    QCOMPARE(rowsWith(errors, u"12003"_s, u"error_internet_extended_error"_s), 1);
    QCOMPARE(rowsWith(errors, u"503"_s, QString()), 4);
    QCOMPARE(rowsWith(errors, u"12031"_s, u"error_internet_connection_reset"_s), 4);
    QCOMPARE(rowsWith(errors, u"12002"_s, u"error_internet_timeout"_s), 1);
    // A hang-up before the answer and a body cut short are aborted connections.
    QCOMPARE(rowsWith(errors, u"12030"_s, u"error_internet_connection_aborted"_s), 5);
    // An empty answer is no error: it writes no row.
    QCOMPARE(errors.size(), 17);

    // The end of the crawl shows the failed links as missing, the empty answer as empty.
    for (const LocalFileRow &row : engine.files().rows()) {
        const QFileInfo info(row.path);
        const int icon = !info.isFile() ? LocalFileRow::Missing
            : info.size() == 0          ? LocalFileRow::Empty
                                        : LocalFileRow::Listed;
        QCOMPARE(row.icon, icon);
    }
    QCOMPARE(QFileInfo(engine.localPathOf(site.url(u"empty.htm"_s))).size(), 0);
    QCOMPARE(engine.files().row(engine.files().indexOf(engine.localPathOf(site.url(u"empty.htm"_s)))).icon,
        int(LocalFileRow::Empty));
    engine.stop();
}

void TestCrawlFaults::fileThatCannotBeCreatedIsAnError()
{
    QTemporaryDir served;
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"index.htm"_s), "<a href=a.htm>a</a>"));
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"a.htm"_s), "<p>a</p>"));
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));

    // The start page's file is a link into a directory that does not exist.
    QTemporaryDir work;
    const QString page = work.filePath(LocalNaming::relativeDirectory(peer.baseUrl()) + u"index.htm"_s);
    QVERIFY(QDir().mkpath(QFileInfo(page).path()));
    QVERIFY(QFile::link(work.filePath(u"none/index.htm"_s), page));

    CrawlerEngine engine(SettingsFile(work.filePath(u"TORVEX.INI"_s)), work.path());
    engine.start();
    CrawlerEngine::Fields fields = engine.fields();
    fields.address = peer.baseUrl() + u"index.htm"_s;
    engine.setFields(fields);
    QSignalSpy finished(&engine, &CrawlerEngine::crawlFinished);
    engine.startCrawl();
    QVERIFY(finished.wait(20000));
    QCOMPARE(engine.status(), CrawlerEngine::doneText());
    // Nothing saved, nothing scanned, and the failure is in the log.
    QCOMPARE(engine.queue().size(), 0);
    QCOMPARE(rowsWith(engine.errorRows(), u"3"_s, QString()), 1);
    QCOMPARE(engine.files().size(), 1);
    QCOMPARE(engine.files().row(0).icon, int(LocalFileRow::Missing));
    engine.stop();
}

void TestCrawlFaults::abortEndsTheFetchKeepingWhatArrived()
{
    FaultSite site;
    QVERIFY2(site.start(), qPrintable(site.peer.errorText()));
    // A read limit the test never reaches: only "Prekid" can end the stalled page.
    Engine crawler(std::chrono::minutes(5));
    const QString stalled = site.url(u"stall.htm"_s);
    QSignalSpy finished(&crawler.engine, &CrawlerEngine::crawlFinished);
    crawler.start(stalled);
    QTRY_COMPARE_WITH_TIMEOUT(crawler.savedBytes(stalled), 1000, 10000);
    QCOMPARE(crawler.engine.state(), int(WindowFetch::ReadPending));

    crawler.engine.abortFetch();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(crawler.engine.status(), CrawlerEngine::doneText());
    QCOMPARE(crawler.savedBytes(stalled), 1000);
    QVERIFY(crawler.engine.errorRows().isEmpty());
    QCOMPARE(crawler.engine.files().row(0).size, u"1.000"_s);
    QCOMPARE(site.requests(u"stall.htm"_s), 1);
}

void TestCrawlFaults::disconnectClosesEveryConnection()
{
    FaultSite site;
    QVERIFY2(site.start(), qPrintable(site.peer.errorText()));
    Engine crawler(std::chrono::minutes(5));
    const QString stalled = site.url(u"stall.htm"_s);
    crawler.start(stalled);
    QTRY_COMPARE_WITH_TIMEOUT(crawler.savedBytes(stalled), 1000, 10000);
    QCOMPARE(connectionsTo(site.port), 1);

    // "Prekini vezu" mid-fetch: the connection closes, what arrived stays, the crawl stops.
    crawler.engine.dropConnection();
    QTRY_COMPARE_WITH_TIMEOUT(connectionsTo(site.port), 0, 5000);
    QVERIFY(!crawler.engine.isCrawling());
    QCOMPARE(crawler.engine.status(), u"Veza zatvorena."_s);
    QCOMPARE(crawler.savedBytes(stalled), 1000);
    QCOMPARE(crawler.engine.files().row(0).size, u"1.000"_s);

    // A kept-alive connection of a finished crawl closes too.
    QTemporaryDir served;
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"index.htm"_s), "<a href=a.htm>a</a>"));
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"a.htm"_s), "<p>a</p>"));
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));
    QSignalSpy finished(&crawler.engine, &CrawlerEngine::crawlFinished);
    crawler.start(peer.baseUrl() + u"index.htm"_s);
    QVERIFY(finished.wait(20000));
    QCOMPARE(crawler.engine.status(), CrawlerEngine::doneText());
    QCOMPARE(connectionsTo(peer.port()), 1);
    crawler.engine.dropConnection();
    QTRY_COMPARE_WITH_TIMEOUT(connectionsTo(peer.port()), 0, 5000);
}

void TestCrawlFaults::startResumesAnInterruptedCrawl()
{
    FaultSite site;
    QVERIFY2(site.start(), qPrintable(site.peer.errorText()));
    Engine crawler(std::chrono::minutes(5));
    const QString stalled = site.url(u"stall.htm"_s);
    crawler.start(site.url(u"index.htm"_s));
    // The stalled page is reached before the pages linked after it.
    QTRY_COMPARE_WITH_TIMEOUT(crawler.savedBytes(stalled), 1000, 20000);
    crawler.engine.dropConnection();
    QCOMPARE(site.requests(u"short.htm"_s), 0);

    QSignalSpy finished(&crawler.engine, &CrawlerEngine::crawlFinished);
    crawler.start(site.url(u"index.htm"_s));
    QVERIFY(finished.wait(30000));
    QCOMPARE(crawler.engine.status(), CrawlerEngine::doneText());
    // The pages the first crawl left waiting are fetched and listed; the stalled one stays as it was.
    QCOMPARE(site.requests(u"index.htm"_s), 2);
    QCOMPARE(site.requests(u"stall.htm"_s), 1);
    QCOMPARE(site.requests(u"short.htm"_s), 1);
    const LocalFiles &files = crawler.engine.files();
    const int shortRow = files.indexOf(crawler.engine.localPathOf(site.url(u"short.htm"_s)));
    QVERIFY(shortRow >= 0);
    QCOMPARE(files.row(shortRow).size, u"500"_s);
    QCOMPARE(files.row(shortRow).icon, int(LocalFileRow::Listed));
    QVERIFY(files.indexOf(crawler.engine.localPathOf(site.url(u"empty.htm"_s))) >= 0);
    QCOMPARE(files.indexOf(crawler.engine.localPathOf(stalled)), -1);
}

QTEST_GUILESS_MAIN(TestCrawlFaults)
#include "tst_crawlfaults.moc"
