#include "SiteGenerator.h"
#include "TestCrawler.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "crawler/LocalNaming.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Logged
{
    QString path; // percent-decoded, with its query
    int status = 0;
};

// The requests of a lighttpd access log, in order. lighttpd writes its log in
// batches and all of it when it ends: the log is read once the server has stopped.
QList<Logged> finalLog(LighttpdPeer &peer)
{
    peer.stop();
    static const QRegularExpression line(uR"re("(?:GET|HEAD) ([^ ]+) HTTP/[0-9.]+" (\d+))re"_s);
    QList<Logged> requests;
    auto matches = line.globalMatch(peer.accessLog());
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        requests.append({ QUrl::fromPercentEncoding(match.captured(1).toUtf8()), match.captured(2).toInt() });
    }
    return requests;
}

QStringList pathsOf(const QList<Logged> &requests)
{
    QStringList paths;
    for (const Logged &request : requests)
        paths.append(request.path);
    return paths;
}

// The site on 127.0.0.1, another host on 127.0.0.2, and a host nobody serves.
struct Sites
{
    QTemporaryDir rootA;
    QTemporaryDir rootB;
    LighttpdPeer site;
    LighttpdPeer other;
    SiteGenerator::ModernSite files;

    bool start()
    {
        if (!site.start(rootA.path()) || !other.start(rootB.path(), u"127.0.0.2"_s))
            return false;
        const QString dead = u"http://127.0.0.1:%1/"_s.arg(PeerProcess::freePort());
        files = SiteGenerator::writeModernSite(rootA.path(), rootB.path(), site.baseUrl(), other.baseUrl(), dead);
        return !files.files.isEmpty();
    }
    QString startUrl() const { return site.baseUrl() + u"m/index.htm"_s; }
};

// Every file of the mirror's pages and stylesheets, with its bytes.
QMap<QString, QByteArray> convertedFiles(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, { u"*.htm"_s, u"*.css"_s }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, SiteGenerator::readFile(path));
    }
    return files;
}

// The pages opened in headless Chromium one after another: what each asked for.
QJsonArray browse(const QStringList &urls, const QString &shot, bool offline)
{
    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(u"/usr/bin/python3"_s,
        QStringList { qEnvironmentVariable("TORVEX_SOURCE_DIR") + u"/tests/crawler/offline_browse.py"_s,
            PeerProcess::findProgram(u"chromium"_s), shot, offline ? u"1"_s : u"0"_s }
            + urls);
    if (!browser.waitForFinished(180000) || browser.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(browser.readAllStandardOutput()).object().value(u"pages"_s).toArray();
}

// The share of pixels in which two pictures differ.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 1;
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return double(differing) / (qint64(a.width()) * a.height());
}

} // namespace

class TestCrawlOffline : public QObject
{
    Q_OBJECT

private slots:
    void theMirrorBrowsesOffline();
    void updatesMoveOnlyWhatChanged();
};

// With "pretvori linkove" on, every picture, font and stylesheet of a modern
// site is fetched, and the mirror opened from disk with the network off asks
// for nothing that is not in it; a second rewrite changes no byte.
void TestCrawlOffline::theMirrorBrowsesOffline()
{
    Sites sites;
    QVERIFY2(sites.start(), qPrintable(sites.site.errorText() + sites.other.errorText()));
    QTemporaryDir mirror;
    QString startCopy;
    QStringList pageCopies;
    {
        TestCrawler crawler(mirror.path());
        QVERIFY(crawler.crawl(sites.startUrl(), true, false, true));
        QCOMPARE(crawler.engine->status(), CrawlerEngine::doneText());
        for (const QString &page : std::as_const(sites.files.pages))
            pageCopies.append(crawler.engine->localPathOf(sites.site.baseUrl() + page));
        pageCopies.append(crawler.engine->localPathOf(sites.other.baseUrl() + u"other/o.htm"_s));
        startCopy = pageCopies.constFirst();
        // Pictures, fonts and stylesheets are copied as they were served, with the server's time.
        for (const QString &file : std::as_const(sites.files.files)) {
            if (file.endsWith(u".htm") || file.endsWith(u".css"))
                continue;
            const QString copy = crawler.engine->localPathOf(sites.site.baseUrl() + file);
            QVERIFY2(
                SiteGenerator::readFile(copy) == SiteGenerator::readFile(sites.rootA.filePath(file)), qPrintable(file));
            QCOMPARE(QFileInfo(copy).lastModified().toSecsSinceEpoch(),
                QFileInfo(sites.rootA.filePath(file)).lastModified().toSecsSinceEpoch());
        }
    }
    const QStringList asked = pathsOf(finalLog(sites.site));
    for (const QString &file : std::as_const(sites.files.files)) {
        if (file != u"m/list.htm")
            QVERIFY2(asked.count(u'/' + file) == 1, qPrintable(file + u" in "_s + asked.join(u' ')));
    }
    QVERIFY(asked.contains(u"/m/list.htm?page=2"_s) && asked.contains(u"/m/list.htm?page=3"_s));
    // Commented out, and not where the base puts the page's pictures.
    QVERIFY(!asked.contains(u"/m/img/none.png"_s));
    QVERIFY(!asked.contains(u"/m/pages/img/base.png"_s));
    QCOMPARE(finalLog(sites.other).size(), 2);
    // A page whose links all lead where nothing was copied stays byte for byte as served.
    QCOMPARE(SiteGenerator::readFile(mirror.filePath(LocalNaming::relativeDirectory(sites.startUrl()) + u"ext.htm"_s)),
        SiteGenerator::readFile(sites.rootA.filePath(u"m/ext.htm"_s)));

    // Opened from disk with the network off, no page reaches for a server or a missing file.
    QStringList fileUrls;
    for (const QString &copy : std::as_const(pageCopies))
        fileUrls.append(QUrl::fromLocalFile(copy).toString());
    const QString mirrorShot = u"/tmp/crawler-mirror-offline.png"_s;
    const QJsonArray pages = browse(fileUrls, mirrorShot, true);
    QCOMPARE(pages.size(), fileUrls.size());
    for (const QJsonValue &page : pages) {
        const QJsonObject shown = page.toObject();
        for (const QJsonValue &request : shown.value(u"requests"_s).toArray())
            QVERIFY2(request.toString().startsWith(u"file://"_s), qPrintable(request.toString()));
        QVERIFY2(
            shown.value(u"failed"_s).toArray().isEmpty(), qPrintable(QString::fromUtf8(QJsonDocument(shown).toJson())));
        QVERIFY(shown.value(u"requests"_s).toArray().size() > 0);
    }
    // It looks as the live site does.
    QVERIFY(sites.site.restart() && sites.other.restart());
    const QString liveShot = u"/tmp/crawler-mirror-live.png"_s;
    QCOMPARE(browse({ sites.startUrl() }, liveShot, false).size(), 1);
    const double differs = difference(QImage(mirrorShot), QImage(liveShot));
    QVERIFY2(differs < 0.01, qPrintable(QString::number(differs)));

    // A second crawl that keeps the copies rewrites them again: not a byte changes.
    const QMap<QString, QByteArray> once = convertedFiles(mirror.path());
    QVERIFY(once.size() >= pageCopies.size());
    TestCrawler again(mirror.path());
    QVERIFY(again.crawl(sites.startUrl(), true, false, true));
    QCOMPARE(convertedFiles(mirror.path()), once);
    // It found the copies' links in the rewritten pages: every page is known.
    for (const QString &page : std::as_const(sites.files.pages))
        QVERIFY2(
            again.engine->queue().contains(sites.site.baseUrl() + page) || page == u"m/index.htm", qPrintable(page));
}

// With "pregazi postoječe" on, a second crawl of the unchanged site asks for
// every file on condition and gets 304 for each; a page changed on the server
// in between is fetched again, and only it.
void TestCrawlOffline::updatesMoveOnlyWhatChanged()
{
    Sites sites;
    QVERIFY(sites.start());
    QTemporaryDir mirror;
    {
        TestCrawler first(mirror.path());
        QVERIFY(first.crawl(sites.startUrl(), true, true, true));
    }
    const QList<Logged> firstLog = finalLog(sites.site);
    QVERIFY(sites.site.restart());
    {
        TestCrawler second(mirror.path());
        QVERIFY(second.crawl(sites.startUrl(), true, true, true));
        // Only the host nobody serves fails.
        for (const EventLogRow &row : second.engine->errorRows())
            QCOMPARE(row.status, u"12029"_s);
    }
    const QList<Logged> secondLog = finalLog(sites.site).mid(firstLog.size());
    QStringList firstPaths = pathsOf(firstLog);
    QStringList secondPaths = pathsOf(secondLog);
    firstPaths.sort();
    secondPaths.sort();
    QCOMPARE(secondPaths, firstPaths);
    for (const Logged &request : secondLog)
        QVERIFY2(request.status == 304, qPrintable(request.path + u' ' + QString::number(request.status)));

    // One page changes on the server.
    const QString changed = sites.rootA.filePath(u"m/pages/c.htm"_s);
    QVERIFY(
        SiteGenerator::writeFile(changed, "<html><body><h1>C, nova</h1><img src=\"/m/img/c.png\"></body></html>\n"));
    QFile touched(changed);
    QVERIFY(touched.open(QIODevice::ReadOnly));
    QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    touched.close();
    QVERIFY(sites.site.restart());
    QString copy;
    {
        TestCrawler third(mirror.path());
        QVERIFY(third.crawl(sites.startUrl(), true, true, true));
        copy = third.engine->localPathOf(sites.site.baseUrl() + u"m/pages/c.htm"_s);
    }
    const QList<Logged> thirdLog = finalLog(sites.site).mid(firstLog.size() + secondLog.size());
    QStringList fetched;
    for (const Logged &request : thirdLog) {
        if (request.status != 304)
            fetched.append(request.path + u' ' + QString::number(request.status));
    }
    QCOMPARE(fetched, QStringList { u"/m/pages/c.htm 200"_s });
    QVERIFY(SiteGenerator::readFile(copy).contains("C, nova"));
}

QTEST_MAIN(TestCrawlOffline)
#include "tst_crawloffline.moc"
