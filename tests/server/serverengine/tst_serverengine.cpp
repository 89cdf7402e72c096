#include "common/PeerProcess.h"
#include "server/FileBody.h"
#include "server/ServerEngine.h"
#include "server/support/RunningServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <numeric>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QByteArray NotFoundLine = QStringLiteral("Traženi Direktorij ili Datoteka ne postoji. <br>").toUtf8();

QByteArray request(const QByteArray &path)
{
    return "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
}

QByteArray headerValue(const QByteArray &answer, const QByteArray &name)
{
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n")).toLower();
    const qsizetype at = head.indexOf(QByteArray("\r\n" + name.toLower() + ": "));
    if (at < 0)
        return {};
    const qsizetype start = at + name.size() + 4;
    return head.mid(start, head.indexOf("\r\n", start) - start);
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + (i * 7 + i / 251) % 26);
    return bytes;
}

QStringList linksOf(const QByteArray &page)
{
    QStringList links;
    static const QRegularExpression href(QStringLiteral("<A HREF=\"([^\"]*)\">"));
    for (const auto &match : href.globalMatch(QString::fromUtf8(page)))
        links.append(match.captured(1));
    return links;
}

// A plain socket connected to the server, with what it asks sent whole; -1
// when that fails. receiveBuffer, when set, is fixed before connecting, so the
// server meets a client that takes little at a time.
int rawClient(int port, const QByteArray &ask, int receiveBuffer = 0)
{
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    if (client < 0)
        return -1;
    if (receiveBuffer > 0)
        setsockopt(client, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::send(client, ask.constData(), size_t(ask.size()), 0) != ssize_t(ask.size())) {
        ::close(client);
        return -1;
    }
    return client;
}

// A served directory "www" (with "sub") beside "outside", which holds
// secret.txt; in www, izvana.txt and vani are links that lead there. The
// served directory's path, or an empty one when the tree cannot be made.
QString servedBesideOutside(const QTemporaryDir &parent, const QByteArray &secret)
{
    const QString served = parent.filePath(QStringLiteral("www"));
    const QString outside = parent.filePath(QStringLiteral("outside"));
    QFile secretFile(outside + QStringLiteral("/secret.txt"));
    const bool made = QDir().mkpath(served + QStringLiteral("/sub")) && QDir().mkpath(outside)
        && secretFile.open(QIODevice::WriteOnly) && secretFile.write(secret) == secret.size();
    secretFile.close();
    if (!made || !QFile::link(secretFile.fileName(), served + QStringLiteral("/izvana.txt"))
        || !QFile::link(outside, served + QStringLiteral("/vani")))
        return {};
    return served;
}

} // namespace

class TestServerEngine : public QObject
{
    Q_OBJECT

private slots:
    void defaultPageIsServed();
    void rootWithoutDefaultPage_data();
    void rootWithoutDefaultPage();
    void missingFileGetsListingWithNotFoundLine();
    void missingServedDirectory_data();
    void missingServedDirectory();
    void pathsMapOntoTheDisk_data();
    void pathsMapOntoTheDisk();
    void listingLinksCanBeFollowed();
    void changedFilesAreServedAnew_data();
    void changedFilesAreServedAnew();
    void refusedPaths_data();
    void refusedPaths();
    void listingLeavesOutLinksOutside();
    void malformedRequests_data();
    void malformedRequests();
    void lineEndedByClientClose();
    void piecesOfAnswers_data();
    void piecesOfAnswers();
    void delayPacesOneConnectionOnly();
    void manyClientsAtOnce();
    void stalledClientsAreDropped();
    void clientGoneMidAnswer();
    void portInUseLogsEveryStep();
    void portChangeReopensListener();
    void logEmptiesAtTwoHundredRows();
    void settingsFollowFirstKeyRule();
};

void TestServerEngine::defaultPageIsServed()
{
    RunningServer server;
    const QByteArray page = "<html><body>Dobrodošli</body></html>";
    server.addFile(QStringLiteral("default.htm"), page);
    const ClientRun run = curl(server.url(QStringLiteral("/")));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(statusOf(run.output), 200);
    QCOMPARE(headerValue(run.output, "Content-Length"), QByteArray::number(page.size()));
    QCOMPARE(bodyOf(run.output), page);
    QTRY_VERIFY(server.statuses().contains(u"sent " + QString::number(page.size())));
    QTRY_COMPARE(server.bytesSent(), qint64(page.size()));
    QCOMPARE(server.hits(), 1);
    const QStringList rows = server.statuses();
    QVERIFY(rows.contains(QStringLiteral("reading...")));
    QVERIFY(rows.contains(QStringLiteral("GET / HTTP/1.1")));
}

void TestServerEngine::rootWithoutDefaultPage_data()
{
    QTest::addColumn<bool>("listing");
    QTest::addColumn<int>("status");
    QTest::newRow("listing allowed") << true << 200;
    QTest::newRow("listing not allowed") << false << 404;
}

void TestServerEngine::rootWithoutDefaultPage()
{
    QFETCH(bool, listing);
    QFETCH(int, status);
    RunningServer::Options options;
    options.listingAllowed = listing;
    RunningServer server(options);
    server.addFile(QStringLiteral("other.txt"), "abc");
    const ClientRun run = curl(server.url(QStringLiteral("/")));
    QCOMPARE(statusOf(run.output), status);
    const QByteArray body = bodyOf(run.output);
    QCOMPARE(body.contains("<A HREF=\"/other.txt\">other.txt</A>"), listing);
    QVERIFY(!body.contains(NotFoundLine));
    QTRY_COMPARE(server.hits(), 1);
    QCOMPARE(server.bytesSent(), 0); // pages are not counted
}

void TestServerEngine::missingFileGetsListingWithNotFoundLine()
{
    RunningServer server;
    const ClientRun run = curl(server.url(QStringLiteral("/nema.htm")));
    QCOMPARE(statusOf(run.output), 404);
    const QByteArray body = bodyOf(run.output);
    QVERIFY(body.contains(NotFoundLine));
    QVERIFY(body.contains("HTTP_ by Quorin."));
    QVERIFY(body.endsWith("           0 Kbytes in 0 files. </body></html>"));
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("404 Not Found")));
}

void TestServerEngine::missingServedDirectory_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("root") << QByteArray("/");
    QTest::newRow("default page") << QByteArray("/default.htm");
    QTest::newRow("file") << QByteArray("/a.txt");
    QTest::newRow("below") << QByteArray("/docs/a.txt");
}

void TestServerEngine::missingServedDirectory()
{
    QFETCH(QByteArray, path);
    RunningServer server;
    QTemporaryDir parent;
    const QString served = parent.filePath(QStringLiteral("nema/"));
    server.call([served](ServerEngine *engine) { engine->setDirectory(served); });
    const QByteArray answer = exchange(server.port(), request(path));
    QCOMPARE(statusOf(answer), 404);
    QVERIFY(bodyOf(answer).contains(NotFoundLine));
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("404 Not Found")));
}

void TestServerEngine::pathsMapOntoTheDisk_data()
{
    QTest::addColumn<QString>("onDisk");
    QTest::addColumn<QByteArray>("requested");
    QTest::newRow("lower-cased request") << QStringLiteral("sub/index.htm") << QByteArray("/Sub/Index.HTM");
    QTest::newRow("capitals on disk") << QStringLiteral("Docs/ReadMe.TXT") << QByteArray("/docs/readme.txt");
    QTest::newRow("escaped blank") << QStringLiteral("moj dokument.txt") << QByteArray("/moj%20dokument.txt");
    QTest::newRow("escaped letters") << QStringLiteral("abc.txt") << QByteArray("/%61%62c.txt");
    QTest::newRow("escaped utf-8") << QStringLiteral("čaša.txt") << QByteArray("/%C4%8Da%C5%A1a.txt");
    QTest::newRow("capital utf-8 on disk") << QStringLiteral("Čaša.txt") << QByteArray("/%c4%8da%c5%a1a.txt");
    QTest::newRow("query dropped") << QStringLiteral("q.txt") << QByteArray("/q.txt?x=1");
    QTest::newRow("backslashes") << QStringLiteral("a/b/c.txt") << QByteArray("/a\\b\\c.txt");
}

void TestServerEngine::pathsMapOntoTheDisk()
{
    QFETCH(QString, onDisk);
    QFETCH(QByteArray, requested);
    RunningServer server;
    const QByteArray content = "content of " + onDisk.toUtf8();
    server.addFile(onDisk, content);
    const QByteArray answer = exchange(server.port(), request(requested));
    QCOMPARE(statusOf(answer), 200);
    QCOMPARE(bodyOf(answer), content);
}

void TestServerEngine::listingLinksCanBeFollowed()
{
    RunningServer server;
    const QStringList names
        = { QStringLiteral("s razmakom.txt"), QStringLiteral("ljestve#.txt"), QStringLiteral("posto%.txt"),
              QStringLiteral("žuta ruža.txt"), QStringLiteral("<b>debelo.txt"), QStringLiteral("Mapa Ž/unutra.txt") };
    for (const QString &name : names)
        server.addFile(QStringLiteral("dir/") + name, name.toUtf8());
    const ClientRun run = curl(server.url(QStringLiteral("/dir")));
    QCOMPARE(statusOf(run.output), 200);
    const QByteArray page = bodyOf(run.output);
    QVERIFY(page.contains("&lt;b&gt;debelo.txt</A>"));
    QVERIFY(!page.contains("<b>debelo"));
    QVERIFY(page.contains(QStringLiteral(">MAPA Ž</A>").toUtf8()));
    QVERIFY(page.contains(QStringLiteral(">žuta ruža.txt</A>").toUtf8()));
    const QStringList links = linksOf(page);
    QCOMPARE(links.size(), names.size());
    // The directory comes first, then the files by name.
    QVERIFY(links.first().startsWith(u"/dir/mapa%20"));
    for (const QString &link : links) {
        QVERIFY2(!link.contains(u' ') && !link.contains(u'#') && !link.contains(u'<'), qPrintable(link));
        const ClientRun followed = curl(server.url(link));
        const int status = statusOf(followed.output);
        QVERIFY2(status == 200, qPrintable(link));
        const QByteArray body = bodyOf(followed.output);
        if (link.endsWith(u".txt"))
            QVERIFY2(names.contains(QString::fromUtf8(body)), qPrintable(link));
        else
            QVERIFY(body.contains("unutra.txt</A>"));
    }
}

void TestServerEngine::changedFilesAreServedAnew_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("rewritten, same size") << QStringLiteral("rewrite");
    QTest::newRow("rewritten, longer") << QStringLiteral("lengthen");
    QTest::newRow("replaced by another") << QStringLiteral("replace");
    QTest::newRow("removed") << QStringLiteral("remove");
}

// A file kept open between answers is never answered with once it has changed on disk.
void TestServerEngine::changedFilesAreServedAnew()
{
    QFETCH(QString, change);
    RunningServer server;
    server.addFile(QStringLiteral("f.txt"), "staro");
    QCOMPARE(bodyOf(exchange(server.port(), request("/f.txt"))), QByteArray("staro"));
    const QString path = server.root() + QStringLiteral("f.txt");
    if (change == u"rewrite") {
        server.addFile(QStringLiteral("f.txt"), "novo!");
    } else if (change == u"lengthen") {
        server.addFile(QStringLiteral("f.txt"), "novo i dulje");
    } else if (change == u"replace") {
        server.addFile(QStringLiteral("g.txt"), "druga datoteka");
        QVERIFY(QFile::remove(path) && QFile::rename(server.root() + QStringLiteral("g.txt"), path));
    } else {
        QVERIFY(QFile::remove(path));
    }
    const QByteArray answer = exchange(server.port(), request("/f.txt"));
    if (change == u"remove") {
        QCOMPARE(statusOf(answer), 404);
        return;
    }
    const QByteArray expected = change == u"rewrite" ? "novo!"
        : change == u"lengthen"                      ? "novo i dulje"
                                                     : "druga datoteka";
    QCOMPARE(bodyOf(answer), expected);
}

void TestServerEngine::refusedPaths_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("plain") << QByteArray("/../outside/secret.txt");
    QTest::newRow("inside then up") << QByteArray("/sub/../../outside/secret.txt");
    QTest::newRow("escaped dots") << QByteArray("/%2e%2e/outside/secret.txt");
    QTest::newRow("escaped capital dots") << QByteArray("/%2E%2E%2Foutside%2Fsecret.txt");
    QTest::newRow("backslashes") << QByteArray("/..\\outside\\secret.txt");
    QTest::newRow("escaped backslashes") << QByteArray("/..%5coutside%5csecret.txt");
    QTest::newRow("absolute") << QByteArray("//etc/passwd");
    QTest::newRow("escaped absolute") << QByteArray("/%2fetc%2fpasswd");
    QTest::newRow("link to a file outside") << QByteArray("/izvana.txt");
    QTest::newRow("link to a directory outside") << QByteArray("/vani/secret.txt");
    QTest::newRow("listing through a link outside") << QByteArray("/vani/");
}

void TestServerEngine::refusedPaths()
{
    QFETCH(QByteArray, path);
    RunningServer server;
    // The served directory lies next to the one that must stay hidden.
    QTemporaryDir parent;
    const QString served = servedBesideOutside(parent, "TAJNA");
    QVERIFY(!served.isEmpty());
    server.call([served](ServerEngine *engine) { engine->setDirectory(served); });

    const QByteArray answer = exchange(server.port(), request(path));
    QCOMPARE(statusOf(answer), 403);
    QVERIFY(!answer.contains("TAJNA"));
    QVERIFY(!answer.contains("root:"));
    QVERIFY(!answer.contains("secret.txt"));
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("403 Forbidden")));
}

// A link that leads outside cannot be followed, and its entry would tell the
// size and date of what lies outside: the listing leaves it out.
void TestServerEngine::listingLeavesOutLinksOutside()
{
    RunningServer server;
    QTemporaryDir parent;
    const QString served = servedBesideOutside(parent, QByteArray(12345, 's'));
    QVERIFY(!served.isEmpty());
    QFile mine(served + QStringLiteral("/sub/mine.txt"));
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.close();
    QVERIFY(QFile::link(served + QStringLiteral("/sub/mine.txt"), served + QStringLiteral("/moja.txt")));
    QVERIFY(QFile::link(parent.filePath(QStringLiteral("nema")), served + QStringLiteral("/slomljena.txt")));
    server.call([served](ServerEngine *engine) { engine->setDirectory(served); });

    const QByteArray answer = exchange(server.port(), request("/"));
    QCOMPARE(statusOf(answer), 200);
    const QStringList links = linksOf(bodyOf(answer));
    QCOMPARE(links, QStringList({ QStringLiteral("/sub"), QStringLiteral("/moja.txt") }));
    QVERIFY(!answer.contains("12,345"));
    QVERIFY(bodyOf(answer).endsWith(" Kbytes in 2 files. </body></html>"));
}

void TestServerEngine::malformedRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status"); // 0: closed without an answer
    QTest::newRow("post") << QByteArray("POST / HTTP/1.0\r\n\r\nx=1") << 501;
    QTest::newRow("get without protocol") << QByteArray("GET /\r\n\r\n") << 400;
    QTest::newRow("empty line") << QByteArray("\r\n") << 400;
    QTest::newRow("no line end") << QByteArray(1024, 'a') << 400;
    QTest::newRow("more than the limit") << QByteArray(5000, 'G') << 400;
    QByteArray garbage;
    for (int i = 0; i < 600; ++i)
        garbage += char((i * 37 + 11) % 256);
    QTest::newRow("binary garbage") << garbage << 400;
    QTest::newRow("nul in path") << QByteArray("GET /a%00b HTTP/1.0\r\n\r\n") << 400;
    QTest::newRow("control byte in path") << QByteArray("GET /a\x01"
                                                        "b HTTP/1.0\r\n\r\n")
                                          << 400;
}

void TestServerEngine::malformedRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    RunningServer server;
    server.addFile(QStringLiteral("default.htm"), "radi");
    const QByteArray answer = exchange(server.port(), bytes);
    QCOMPARE(statusOf(answer), status);
    QTRY_COMPARE(server.hits(), 1);
    // The server goes on serving.
    const ClientRun run = curl(server.url(QStringLiteral("/")));
    QCOMPARE(bodyOf(run.output), QByteArray("radi"));
    QTRY_COMPARE(server.hits(), 2);
}

// A client that sends its request line without a line end and then shuts its
// side has said all it will: the line is judged as it stands.
void TestServerEngine::lineEndedByClientClose()
{
    RunningServer server;
    server.addFile(QStringLiteral("a.txt"), "bez kraja retka");
    const int client = rawClient(server.port(), "GET /a.txt HTTP/1.0");
    QVERIFY(client >= 0);
    QCOMPARE(::shutdown(client, SHUT_WR), 0);
    const timeval limit { 5, 0 };
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t count; (count = ::recv(client, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, count);
    ::close(client);
    QCOMPARE(statusOf(answer), 200);
    QCOMPARE(bodyOf(answer), QByteArray("bez kraja retka"));
}

void TestServerEngine::piecesOfAnswers_data()
{
    QTest::addColumn<int>("fileSize"); // -1: a listing
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("pieces");
    QTest::newRow("one piece") << int(FileBody::PieceSize) << 0 << 1;
    QTest::newRow("just over one piece") << int(FileBody::PieceSize + 1) << 0 << 2;
    QTest::newRow("three pieces") << int(3 * FileBody::PieceSize) << 0 << 3;
    QTest::newRow("empty file") << 0 << 0 << 0;
    // Header, 20 entries, 20 entries, the last 5 with the footer.
    QTest::newRow("listing of 45") << -1 << 45 << 4;
    QTest::newRow("listing of 40") << -1 << 40 << 4;
    QTest::newRow("listing of 19") << -1 << 19 << 2;
    QTest::newRow("empty listing") << -1 << 0 << 2;
}

void TestServerEngine::piecesOfAnswers()
{
    QFETCH(int, fileSize);
    QFETCH(int, entries);
    QFETCH(int, pieces);
    // Pieces are what the send delay paces; without a delay they may be larger.
    RunningServer::Options options;
    options.delay = 10;
    RunningServer server(options);
    QByteArray path = "/file.bin";
    QByteArray content;
    if (fileSize >= 0) {
        content = pattern(fileSize);
        server.addFile(QStringLiteral("file.bin"), content);
    } else {
        path = "/list/";
        QDir().mkpath(server.root() + QStringLiteral("list"));
        for (int i = 0; i < entries; ++i)
            server.addFile(QStringLiteral("list/e%1.txt").arg(i, 2, 10, QLatin1Char('0')), "x");
    }
    const QByteArray answer = exchange(server.port(), request(path));
    QCOMPARE(statusOf(answer), 200);
    if (fileSize >= 0) {
        QCOMPARE(bodyOf(answer), content);
        QTRY_COMPARE(server.bytesSent(), qint64(fileSize));
    }
    QTRY_COMPARE(server.pieces().size(), pieces);
    QTest::qWait(50);
    QCOMPARE(server.pieces().size(), pieces);
    if (fileSize > 0)
        QCOMPARE(server.pieces().first(), qMin<qint64>(fileSize, FileBody::PieceSize));
    if (fileSize < 0) {
        const QList<qint64> sizes = server.pieces();
        QCOMPARE(std::accumulate(sizes.begin(), sizes.end(), qint64(0)), qint64(bodyOf(answer).size()));
    }
}

void TestServerEngine::delayPacesOneConnectionOnly()
{
    RunningServer::Options options;
    options.delay = 500;
    RunningServer server(options);
    const QByteArray big = pattern(3 * FileBody::PieceSize);
    server.addFile(QStringLiteral("big.bin"), big);
    server.addFile(QStringLiteral("small.txt"), "malo");

    QElapsedTimer clock;
    clock.start();
    QProcess slow;
    slow.start(QStringLiteral("curl"), { QStringLiteral("-s"), server.url(QStringLiteral("/big.bin")) });
    QVERIFY(slow.waitForStarted());
    QTRY_VERIFY(server.pieces().size() >= 1);

    QElapsedTimer other;
    other.start();
    const QByteArray quick = exchange(server.port(), request("/small.txt"));
    const qint64 quickMs = other.elapsed();
    QCOMPARE(bodyOf(quick), QByteArray("malo"));
    // One piece, then its own delay: the slow client's pauses do not hold it up.
    QVERIFY2(quickMs < 900, qPrintable(QString::number(quickMs)));

    QVERIFY(slow.waitForFinished(10000));
    QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(slow.readAllStandardOutput(), big);
}

void TestServerEngine::manyClientsAtOnce()
{
    RunningServer server;
    const int size = 50000;
    server.addFile(QStringLiteral("shared.bin"), pattern(size));
    const QString script = QStringLiteral("import sys, urllib.request, concurrent.futures, threading\n"
                                          "url, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])\n"
                                          "gate = threading.Barrier(count)\n"
                                          "def fetch(i):\n"
                                          "    gate.wait()\n"
                                          "    with urllib.request.urlopen(url, timeout=30) as answer:\n"
                                          "        return len(answer.read())\n"
                                          "with concurrent.futures.ThreadPoolExecutor(count) as pool:\n"
                                          "    sizes = list(pool.map(fetch, range(count)))\n"
                                          "whole = sum(1 for s in sizes if s == size)\n"
                                          "print(whole)\n"
                                          "sys.exit(0 if whole == count else 1)\n");
    const ClientRun run = runClient(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), script, server.url(QStringLiteral("/shared.bin")), QStringLiteral("200"),
            QString::number(size) },
        60000);
    QCOMPARE(run.output.trimmed(), QByteArray("200"));
    QCOMPARE(run.exitCode, 0);
    QTRY_COMPARE(server.hits(), 200);
    QTRY_COMPARE(server.bytesSent(), qint64(200) * size);
}

void TestServerEngine::stalledClientsAreDropped()
{
    RunningServer::Options options;
    options.idleTimeout = 400ms;
    options.requestTimeout = 400ms;
    RunningServer server(options);
    server.addFile(QStringLiteral("huge.bin"), pattern(16 << 20));
    server.addFile(QStringLiteral("small.txt"), "malo");

    QTcpSocket silent;
    silent.connectToHost(QStringLiteral("127.0.0.1"), quint16(server.port()));
    QVERIFY(silent.waitForConnected(2000));

    // A client that asks for a large file and never reads it.
    const int stuck = rawClient(server.port(), request("/huge.bin"), 4096);
    QVERIFY(stuck >= 0);

    const ClientRun quick = curl(server.url(QStringLiteral("/small.txt")));
    QCOMPARE(bodyOf(quick.output), QByteArray("malo"));

    // Both are dropped after the time-out, each with its own error line.
    QTRY_COMPARE_WITH_TIMEOUT(server.statuses().count(QStringLiteral("WSAETIMEDOUT")), 2, 5000);
    QTRY_VERIFY(silent.state() == QAbstractSocket::UnconnectedState || silent.waitForDisconnected(100));
    ::close(stuck);
    const ClientRun after = curl(server.url(QStringLiteral("/small.txt")));
    QCOMPARE(bodyOf(after.output), QByteArray("malo"));
}

// A client that resets its connection while a large file is on its way: the
// error is logged, and the program (here the test) goes on serving.
void TestServerEngine::clientGoneMidAnswer()
{
    RunningServer server;
    server.addFile(QStringLiteral("huge.bin"), pattern(16 << 20));
    server.addFile(QStringLiteral("small.txt"), "malo");
    for (int round = 0; round < 10; ++round) {
        // A small receive buffer, so that the file cannot all be on its way before the client hangs up.
        const int client = rawClient(server.port(), request("/huge.bin"), 65536);
        QVERIFY(client >= 0);
        char buffer[65536];
        QVERIFY(::recv(client, buffer, sizeof buffer, MSG_WAITALL) > 0);
        // Every other client hangs up at once, the rest after one more read:
        // reading until nothing is waiting could, on a fast loopback, take the whole file.
        if (round % 2 == 0) {
            const linger reset { 1, 0 };
            setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        } else {
            ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        }
        ::close(client);
    }
    QTRY_VERIFY_WITH_TIMEOUT(server.statuses().count(QStringLiteral("WSAECONNRESET"))
                + server.statuses().count(QStringLiteral("WSAESHUTDOWN"))
            >= 10,
        5000);
    const ClientRun after = curl(server.url(QStringLiteral("/small.txt")));
    QCOMPARE(bodyOf(after.output), QByteArray("malo"));
}

void TestServerEngine::portInUseLogsEveryStep()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
    RunningServer::Options options;
    options.port = occupant.serverPort();
    RunningServer server(options);
    const QStringList rows = server.statuses();
    const qsizetype bind = rows.indexOf(QStringLiteral("binding Socket..."));
    QVERIFY(bind > 0);
    QVERIFY(rows[bind - 1].startsWith(u"TCP Socket #"));
    const QStringList expected
        = { QStringLiteral("binding Socket..."), QStringLiteral("WSAEADDRINUSE"), QStringLiteral("socket to listen..."),
              QStringLiteral("WSAEINVAL"), QStringLiteral("waiting to accept()..."), QStringLiteral("WSAEINVAL") };
    QTRY_COMPARE(server.statuses().mid(bind, expected.size()), expected);
}

void TestServerEngine::portChangeReopensListener()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
    RunningServer::Options options;
    options.port = occupant.serverPort();
    RunningServer server(options);
    server.addFile(QStringLiteral("default.htm"), "novi port");
    const quint16 port = PeerProcess::freePort();
    server.call([port](ServerEngine *engine) { engine->setPort(port); });
    QTRY_COMPARE(server.statuses().count(QStringLiteral("waiting to accept()...")), 2);
    const QStringList rows = server.statuses();
    const qsizetype reopened = rows.lastIndexOf(QStringLiteral("creating socket..."));
    QCOMPARE(rows[reopened - 1], QStringLiteral("closing socket..."));
    QCOMPARE(rows.mid(reopened + 2, 3),
        QStringList({ QStringLiteral("binding Socket..."), QStringLiteral("socket to listen..."),
            QStringLiteral("waiting to accept()...") }));
    const ClientRun run = curl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    QCOMPARE(bodyOf(run.output), QByteArray("novi port"));
}

void TestServerEngine::logEmptiesAtTwoHundredRows()
{
    RunningServer server;
    server.addFile(QStringLiteral("a.txt"), "a");
    const QStringList opening = server.visibleRows();
    QCOMPARE(opening.size(), 6);
    QCOMPARE(
        opening.mid(0, 2), QStringList({ QStringLiteral("Initializing..."), QStringLiteral("creating socket...") }));
    QVERIFY(QRegularExpression(QStringLiteral("^TCP Socket #\\d+$")).match(opening[2]).hasMatch());
    QCOMPARE(opening.mid(3),
        QStringList({ QStringLiteral("binding Socket..."), QStringLiteral("socket to listen..."),
            QStringLiteral("waiting to accept()...") }));

    // Each request logs "reading...", its request line and "sent 1": after 64
    // of them the log holds 198 rows.
    const QStringList oneRequest
        = { QStringLiteral("reading..."), QStringLiteral("GET /a.txt HTTP/1.0"), QStringLiteral("sent 1") };
    for (int i = 1; i <= 64; ++i) {
        QCOMPARE(statusOf(exchange(server.port(), request("/a.txt"))), 200);
        QTRY_COMPARE(server.visibleRows().size(), 6 + 3 * i);
    }
    QVERIFY(!server.sawClear());
    QCOMPARE(server.visibleRows().mid(6, 3), oneRequest);

    // The 200th row is a request line, which never empties the log; the next
    // ordinary row, the 201st, does, and is gone with the rest.
    QCOMPARE(statusOf(exchange(server.port(), request("/a.txt"))), 200);
    QTRY_VERIFY(server.sawClear());
    QTRY_COMPARE(server.hits(), 65);
    QCOMPARE(server.visibleRows(), QStringList());
    QCOMPARE(statusOf(exchange(server.port(), request("/a.txt"))), 200);
    QTRY_COMPARE(server.visibleRows(), oneRequest);
}

void TestServerEngine::settingsFollowFirstKeyRule()
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("TORVEX.INI"));
    {
        SettingsFile file(path);
        // Without the first key the others are not read.
        file.writeMany(SettingsFile::toolSection(),
            { { QStringLiteral("WShttpStr"), QStringLiteral("x.htm") },
                { QStringLiteral("WShttpDel"), QStringLiteral("500") },
                { QStringLiteral("WShttpDir"), QStringLiteral("0") },
                { QStringLiteral("WShttpPort"), QStringLiteral("1") } });
    }
    SettingsFile file(path);
    ServerEngine engine(file);
    engine.setBindAddresses({ QStringLiteral("127.0.0.1") });
    QSignalSpy loaded(&engine, &ServerEngine::fieldsLoaded);
    engine.start();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0][0].toString(), ServerEngine::defaultDirectory());
    QCOMPARE(loaded[0][1].toString(), QStringLiteral("default.htm"));
    QCOMPARE(loaded[0][2].toInt(), 60);
    QCOMPARE(loaded[0][3].toBool(), true);
    QCOMPARE(loaded[0][4].toInt(), 80);
    engine.setDirectory(QStringLiteral("/srv/www"));
    engine.setDelay(120);
    engine.setListingAllowed(false);
    engine.stop();
    QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("WShttpPath")), QStringLiteral("/srv/www"));
    QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("WShttpStr")), QStringLiteral("default.htm"));
    QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("WShttpDel")), QStringLiteral("120"));
    QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("WShttpDir")), QStringLiteral("0"));
    QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("WShttpPort")), QStringLiteral("80"));
    QCOMPARE(ServerEngine::effectiveDirectory(QStringLiteral("/srv/www")), QStringLiteral("/srv/www/"));
    QCOMPARE(ServerEngine::effectiveDirectory(QStringLiteral("  ")), ServerEngine::defaultDirectory());
}

QTEST_GUILESS_MAIN(TestServerEngine)
#include "tst_serverengine.moc"
