#include "server/FileBody.h"
#include "server/support/RunningServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QByteArray Digits = "0123456789abcdef";
const QDateTime FileTime = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);

// The answer to one request made with Python's http.client, written out as
// it came: status line, header fields, blank line, body.
ClientRun pythonClient(int port, const QByteArray &method, const QByteArray &path, const QByteArray &header)
{
    const QString script = QStringLiteral("import sys, http.client\n"
                                          "port, method, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]\n"
                                          "headers = dict(h.split(': ', 1) for h in sys.argv[4:] if h)\n"
                                          "c = http.client.HTTPConnection('127.0.0.1', port, timeout=20)\n"
                                          "c.request(method, path, headers=headers)\n"
                                          "r = c.getresponse()\n"
                                          "body = r.read()\n"
                                          "out = b'HTTP/1.1 %d %s\\r\\n' % (r.status, r.reason.encode())\n"
                                          "for k, v in r.getheaders():\n"
                                          "    out += ('%s: %s\\r\\n' % (k, v)).encode('latin-1')\n"
                                          "sys.stdout.buffer.write(out + b'\\r\\n' + body)\n");
    return runClient(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), script, QString::number(port), QString::fromLatin1(method), QString::fromLatin1(path),
            QString::fromLatin1(header) });
}

ClientRun curlClient(const QString &url, const QByteArray &method, const QByteArray &header)
{
    QStringList more;
    if (method == "HEAD")
        more << QStringLiteral("-I");
    if (!header.isEmpty())
        more << QStringLiteral("-H") << QString::fromLatin1(header);
    return curl(url, more);
}

QByteArray headerValue(const QByteArray &answer, const QByteArray &name)
{
    const QList<QByteArray> lines = answer.left(answer.indexOf("\r\n\r\n")).split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

// Reads from a socket until count whole answers (by their Content-Length) have come, or the limit.
QList<QByteArray> answersOn(QTcpSocket &socket, int count, int limitMs)
{
    QList<QByteArray> answers;
    QByteArray buffered;
    QElapsedTimer clock;
    clock.start();
    while (answers.size() < count && clock.elapsed() < limitMs) {
        if (!answerComplete(buffered)) {
            socket.waitForReadyRead(50);
            buffered += socket.readAll();
            continue;
        }
        const qsizetype headEnd = buffered.indexOf("\r\n\r\n") + 4;
        const qsizetype length = headerValue(buffered, "Content-Length").toLongLong();
        answers.append(buffered.first(headEnd + length));
        buffered.remove(0, headEnd + length);
    }
    return answers;
}

} // namespace

// HEAD, byte ranges, conditional requests, content types and kept connections,
// as HTTP clients meet them.
class TestHttpProtocol : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunningServer> m_server;

private slots:
    void initTestCase();
    void cleanupTestCase() { m_server.reset(); }
    void answersAsClientsExpect_data();
    void answersAsClientsExpect();
    void curlReusesOneConnection();
    void pipelinedRequestsAnsweredInOrder_data();
    void pipelinedRequestsAnsweredInOrder();
    void idleKeptConnectionCloses();
    void closingAnswerReachesLateReader_data();
    void closingAnswerReachesLateReader();
    void ipv6ClientsAreServed();
};

void TestHttpProtocol::initTestCase()
{
    m_server = std::make_unique<RunningServer>();
    const QStringList files = { QStringLiteral("digits.txt"), QStringLiteral("index.html"), QStringLiteral("style.css"),
        QStringLiteral("app.js"), QStringLiteral("module.mjs"), QStringLiteral("data.json"),
        QStringLiteral("picture.png"), QStringLiteral("photo.jpg"), QStringLiteral("drawing.svg"),
        QStringLiteral("clip.mp4"), QStringLiteral("clip.webm"), QStringLiteral("song.mp3"),
        QStringLiteral("font.woff2"), QStringLiteral("code.wasm"), QStringLiteral("paper.pdf"),
        QStringLiteral("noextension"), QStringLiteral("dir/inside.txt") };
    for (const QString &name : files) {
        m_server->addFile(name, Digits);
        QFile file(m_server->root() + name);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(FileTime, QFileDevice::FileModificationTime));
    }
}

void TestHttpProtocol::answersAsClientsExpect_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("header"); // sent, "Name: value" or empty
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("expected"); // header fields of the answer, "Name: value"
    QTest::addColumn<QByteArray>("body"); // "*": not looked at

    struct Case
    {
        const char *name;
        QByteArray method;
        QByteArray path;
        QByteArray header;
        int status;
        QByteArrayList expected;
        QByteArray body;
    };
    const QByteArray before = "Fri, 02 Jan 2026 03:04:04 GMT";
    const QByteArray same = "Fri, 02 Jan 2026 03:04:05 GMT";
    const QByteArray after = "Fri, 02 Jan 2026 03:04:06 GMT";
    const QList<Case> cases = {
        { "get", "GET", "/digits.txt", {}, 200,
            { "Content-Length: 16", "Last-Modified: " + same, "Accept-Ranges: bytes", "Content-Type: text/plain" },
            Digits },
        { "head", "HEAD", "/digits.txt", {}, 200, { "Content-Length: 16", "Last-Modified: " + same }, "" },
        { "head of a listing", "HEAD", "/dir/", {}, 200, { "Content-Type: text/html; charset=utf-8" }, "" },
        { "head of a missing file", "HEAD", "/nema.txt", {}, 404, {}, "" },
        { "range a-b", "GET", "/digits.txt", "Range: bytes=2-5", 206,
            { "Content-Range: bytes 2-5/16", "Content-Length: 4" }, "2345" },
        { "range a-", "GET", "/digits.txt", "Range: bytes=10-", 206, { "Content-Range: bytes 10-15/16" }, "abcdef" },
        { "range -n", "GET", "/digits.txt", "Range: bytes=-3", 206, { "Content-Range: bytes 13-15/16" }, "def" },
        { "range past the end", "GET", "/digits.txt", "Range: bytes=14-99", 206, { "Content-Range: bytes 14-15/16" },
            "ef" },
        { "range unsatisfiable", "GET", "/digits.txt", "Range: bytes=16-20", 416, { "Content-Range: bytes */16" },
            "*" },
        { "several ranges", "GET", "/digits.txt", "Range: bytes=0-1,4-5", 200, { "Content-Length: 16" }, Digits },
        { "range on a head", "HEAD", "/digits.txt", "Range: bytes=2-5", 206, { "Content-Length: 4" }, "" },
        { "range on a listing", "GET", "/dir/", "Range: bytes=0-9", 200, { "Content-Type: text/html; charset=utf-8" },
            "*" },
        { "modified since older", "GET", "/digits.txt", "If-Modified-Since: " + before, 200, {}, Digits },
        { "modified since equal", "GET", "/digits.txt", "If-Modified-Since: " + same, 304, { "Last-Modified: " + same },
            "" },
        { "modified since newer", "GET", "/digits.txt", "If-Modified-Since: " + after, 304, {}, "" },
        { "modified since, asctime", "GET", "/digits.txt", "If-Modified-Since: Fri Jan  2 03:04:05 2026", 304, {}, "" },
        { "modified since, rfc 850", "GET", "/digits.txt", "If-Modified-Since: Friday, 02-Jan-26 03:04:05 GMT", 304, {},
            "" },
        { "modified since, not a date", "GET", "/digits.txt", "If-Modified-Since: gestern", 200, {}, Digits },
        { "html", "GET", "/index.html", {}, 200, { "Content-Type: text/html" }, "*" },
        { "css", "GET", "/style.css", {}, 200, { "Content-Type: text/css" }, "*" },
        { "js", "GET", "/app.js", {}, 200, { "Content-Type: application/javascript" }, "*" },
        { "mjs", "GET", "/module.mjs", {}, 200, { "Content-Type: application/javascript" }, "*" },
        { "json", "GET", "/data.json", {}, 200, { "Content-Type: application/json" }, "*" },
        { "png", "GET", "/picture.png", {}, 200, { "Content-Type: image/png" }, "*" },
        { "jpg", "GET", "/photo.jpg", {}, 200, { "Content-Type: image/jpeg" }, "*" },
        { "svg", "GET", "/drawing.svg", {}, 200, { "Content-Type: image/svg+xml" }, "*" },
        { "mp4", "GET", "/clip.mp4", {}, 200, { "Content-Type: video/mp4" }, "*" },
        { "webm", "GET", "/clip.webm", {}, 200, { "Content-Type: video/webm" }, "*" },
        { "mp3", "GET", "/song.mp3", {}, 200, { "Content-Type: audio/mpeg" }, "*" },
        { "woff2", "GET", "/font.woff2", {}, 200, { "Content-Type: font/woff2" }, "*" },
        { "wasm", "GET", "/code.wasm", {}, 200, { "Content-Type: application/wasm" }, "*" },
        { "pdf", "GET", "/paper.pdf", {}, 200, { "Content-Type: application/pdf" }, "*" },
        { "no extension", "GET", "/noextension", {}, 200, { "Content-Type: application/octet-stream" }, "*" },
    };
    for (const QString &client : { QStringLiteral("curl"), QStringLiteral("python") }) {
        for (const Case &c : cases) {
            QTest::addRow("%s, %s", qPrintable(client), c.name)
                << client << c.method << c.path << c.header << c.status << c.expected << c.body;
        }
    }
}

void TestHttpProtocol::answersAsClientsExpect()
{
    QFETCH(QString, client);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, header);
    QFETCH(int, status);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArray, body);
    const ClientRun run = client == u"curl" ? curlClient(m_server->url(QString::fromLatin1(path)), method, header)
                                            : pythonClient(m_server->port(), method, path, header);
    QVERIFY2(run.exitCode == 0, run.errors.constData());
    QCOMPARE(statusOf(run.output), status);
    for (const QByteArray &field : expected) {
        const qsizetype colon = field.indexOf(':');
        QCOMPARE(headerValue(run.output, field.first(colon)), field.sliced(colon + 2));
    }
    if (body != "*")
        QCOMPARE(bodyOf(run.output), body);
}

// Two URLs on one curl command line share one connection, and each counts as a
// request of its own: a listing page (in chunks) and then a file.
void TestHttpProtocol::curlReusesOneConnection()
{
    RunningServer server;
    server.addFile(QStringLiteral("dir/a.txt"), "prvi");
    server.addFile(QStringLiteral("b.txt"), "drugi");
    const ClientRun run = runClient(QStringLiteral("curl"),
        { QStringLiteral("-s"), QStringLiteral("-v"), server.url(QStringLiteral("/dir/")),
            server.url(QStringLiteral("/b.txt")) });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errors.contains("Re-using existing connection"), run.errors.constData());
    QVERIFY(run.output.contains("<A HREF=\"/dir/a.txt\">a.txt</A>"));
    QVERIFY(run.output.endsWith(" files. </body></html>drugi"));
    QTRY_COMPARE(server.hits(), 2);
    const QStringList rows = server.statuses();
    QCOMPARE(rows.count(QStringLiteral("reading...")), 2);
    QVERIFY(rows.contains(QStringLiteral("GET /dir/ HTTP/1.1")));
    QVERIFY(rows.contains(QStringLiteral("GET /b.txt HTTP/1.1")));
    QVERIFY(rows.contains(QStringLiteral("sent 5")));
}

void TestHttpProtocol::pipelinedRequestsAnsweredInOrder_data()
{
    QTest::addColumn<bool>("lastDuringAnswer");
    QTest::newRow("sent at once") << false;
    // The server is busy sending, and its client takes nothing, when the last request arrives.
    QTest::newRow("last sent while the large answer goes out") << true;
}

// Three requests sent on one socket get their answers in order; the last, an
// HTTP/1.0 one, closes the connection after its answer.
void TestHttpProtocol::pipelinedRequestsAnsweredInOrder()
{
    QFETCH(bool, lastDuringAnswer);
    RunningServer server;
    const QByteArray large(8 << 20, '2');
    server.addFile(QStringLiteral("1.txt"), "jedan");
    server.addFile(QStringLiteral("2.txt"), large);
    server.addFile(QStringLiteral("3.txt"), "tri");
    QTcpSocket socket;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(server.port()));
    QVERIFY(socket.waitForConnected(5000));
    const QByteArray last = "GET /3.txt HTTP/1.0\r\n\r\n";
    socket.write("GET /1.txt HTTP/1.1\r\nHost: x\r\n\r\n"
                 "GET /2.txt HTTP/1.1\r\nHost: x\r\n\r\n"
        + (lastDuringAnswer ? QByteArray() : last));
    if (lastDuringAnswer) {
        QVERIFY(socket.waitForBytesWritten(5000));
        QTRY_VERIFY(server.bytesSent() > FileBody::PieceSize);
        socket.write(last);
    }
    const QList<QByteArray> answers = answersOn(socket, 3, 20000);
    QCOMPARE(answers.size(), 3);
    QCOMPARE(bodyOf(answers[0]), QByteArray("jedan"));
    QVERIFY(bodyOf(answers[1]) == large);
    QCOMPARE(bodyOf(answers[2]), QByteArray("tri"));
    QVERIFY(answers[0].startsWith("HTTP/1.1 200"));
    QCOMPARE(headerValue(answers[1], "Connection"), QByteArray());
    QCOMPARE(headerValue(answers[2], "Connection"), QByteArray("close"));
    QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(5000));
    QTRY_COMPARE(server.hits(), 3);
    QCOMPARE(server.statuses().count(QStringLiteral("reading...")), 3);
}

// A kept connection carries a request after a pause shorter than the idle
// limit, and is closed once it has been idle for the limit.
void TestHttpProtocol::idleKeptConnectionCloses()
{
    RunningServer::Options options;
    options.keepAliveTimeout = 1000ms;
    RunningServer server(options);
    server.addFile(QStringLiteral("a.txt"), "a");
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(server.port()));
    QVERIFY(socket.waitForConnected(5000));
    for (int request = 0; request < 2; ++request) {
        QTest::qWait(request * 200);
        socket.write("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
        QCOMPARE(answersOn(socket, 1, 5000).size(), 1);
    }
    QElapsedTimer idle;
    idle.start();
    QVERIFY(socket.waitForDisconnected(10000));
    // Closed by the idle limit, never before it; how late depends only on the machine.
    QVERIFY2(idle.elapsed() >= 700, qPrintable(QString::number(idle.elapsed())));
    QTRY_COMPARE(server.hits(), 2);
    QVERIFY(!server.statuses().contains(QStringLiteral("WSAETIMEDOUT")));
}

void TestHttpProtocol::closingAnswerReachesLateReader_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<QByteArray>("sentLate");
    // Small enough to be on its way whole, the server done with it, before the client reads.
    const int small = 3 * FileBody::PieceSize;
    QTest::newRow("HTTP/1.0") << QByteArray("GET /f.bin HTTP/1.0\r\n\r\n") << small << QByteArray();
    QTest::newRow("Connection: close") << QByteArray("GET /f.bin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                                       << small << QByteArray();
    // Bytes that arrive while the answer waits for the client must not reset the connection at its end.
    QTest::newRow("bytes after the request") << QByteArray("GET /f.bin HTTP/1.0\r\n\r\n") << (8 << 20)
                                             << QByteArray("GET / HTTP/1.0\r\n\r\n");
}

// A client that reads a closing answer late, the server done with it or
// waiting for room, gets every byte of it and then the end, never a reset.
void TestHttpProtocol::closingAnswerReachesLateReader()
{
    QFETCH(QByteArray, request);
    QFETCH(int, fileSize);
    QFETCH(QByteArray, sentLate);
    RunningServer server;
    server.addFile(QStringLiteral("f.bin"), QByteArray(fileSize, 'f'));
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(server.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(client, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    QCOMPARE(::send(client, request.constData(), size_t(request.size()), MSG_NOSIGNAL), ssize_t(request.size()));
    QTRY_COMPARE(server.hits(), 1);
    QTest::qWait(300);
    if (!sentLate.isEmpty())
        ::send(client, sentLate.constData(), size_t(sentLate.size()), MSG_NOSIGNAL);
    QTest::qWait(100);
    QByteArray answer;
    char buffer[65536];
    ssize_t count;
    while ((count = ::recv(client, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, count);
    const int error = count < 0 ? errno : 0;
    ::close(client);
    QCOMPARE(error, 0);
    QVERIFY2(answer.startsWith("HTTP/1.") && answer.mid(9, 3) == "200", answer.left(40).constData());
    QCOMPARE(bodyOf(answer).size(), fileSize);
}

// Listening on every interface, one socket takes IPv6 and IPv4 clients alike.
void TestHttpProtocol::ipv6ClientsAreServed()
{
    RunningServer::Options options;
    options.bindAddresses = {};
    RunningServer server(options);
    server.addFile(QStringLiteral("v6.txt"), "preko IPv6");
    const ClientRun six = curl(QStringLiteral("http://[::1]:%1/v6.txt").arg(server.port()), { QStringLiteral("-g") });
    QCOMPARE(six.exitCode, 0);
    QCOMPARE(bodyOf(six.output), QByteArray("preko IPv6"));
    const ClientRun four = curl(server.url(QStringLiteral("/v6.txt")));
    QCOMPARE(bodyOf(four.output), QByteArray("preko IPv6"));
    QTRY_COMPARE(server.statuses().count(QStringLiteral("GET /v6.txt HTTP/1.1")), 2);
    QCOMPARE(server.statuses().count(QStringLiteral("sent 10")), 2);
}

QTEST_GUILESS_MAIN(TestHttpProtocol)
#include "tst_httpprotocol.moc"
