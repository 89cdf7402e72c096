#include "common/PyftpdlibPeer.h"
#include "platform/inet/SyncRequest.h"
#include "server/ServerEngine.h"
#include "server/support/RunningServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// The process's soft descriptor limit, lowered for as long as it lives.
class LoweredDescriptorLimit
{
public:
    explicit LoweredDescriptorLimit(rlim_t soft)
    {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = soft;
        m_lowered = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~LoweredDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &m_saved); }
    bool lowered() const { return m_lowered; }

private:
    rlimit m_saved {};
    bool m_lowered = false;
};

// Milliseconds from connecting to the whole answer of one small request; -1 when it failed.
qint64 requestTime(int port, const QByteArray &path, QByteArray *body = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit { 10, 0 };
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const QByteArray request = "GET " + path + " HTTP/1.0\r\n\r\n";
    QByteArray answer;
    if (::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::send(client, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        char buffer[4096];
        for (ssize_t count; (count = ::recv(client, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, count);
    }
    ::close(client);
    if (statusOf(answer) != 200)
        return -1;
    if (body)
        *body = bodyOf(answer);
    return clock.elapsed();
}

// The middle of several small requests' times, so that one moment when the
// machine is busy elsewhere does not decide; -1 when one of them failed.
qint64 medianRequestTime(int port, int count = 7)
{
    QList<qint64> times;
    for (int i = 0; i < count; ++i) {
        const qint64 time = requestTime(port, "/small.txt");
        if (time < 0)
            return -1;
        times.append(time);
    }
    std::sort(times.begin(), times.end());
    return times[count / 2];
}

int openSockets()
{
    int sockets = 0;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &entry : entries) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + entry).contains(QStringLiteral("socket:")))
            ++sockets;
    }
    return sockets;
}

// Clients that each send one byte of a request a second and never finish it.
// The script prints "connected" once all are, and at the end how many the
// server closed and the longest any of them lived.
const QString Tricklers = QStringLiteral(
    "import resource, selectors, socket, sys, time\n"
    "soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)\n"
    "resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))\n"
    "port, count, limit = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])\n"
    "request = b'GET /small.txt HTTP/1.1\\r\\nHost: x\\r\\nUser-Agent: slow\\r\\n\\r\\n'\n"
    "selector = selectors.DefaultSelector()\n"
    "born, sent = {}, {}\n"
    "for i in range(count):\n"
    "    s = socket.socket()\n"
    "    s.connect(('127.0.0.1', port))\n"
    "    s.setblocking(False)\n"
    "    born[s], sent[s] = time.monotonic(), 0\n"
    "    selector.register(s, selectors.EVENT_READ)\n"
    "print('connected', flush=True)\n"
    "lives, answered = [], 0\n"
    "end = time.monotonic() + limit\n"
    "tick = time.monotonic()\n"
    "while born and time.monotonic() < end:\n"
    "    if time.monotonic() >= tick:\n"
    "        for s in list(born):\n"
    "            try:\n"
    "                s.send(request[sent[s]:sent[s] + 1])\n"
    "                sent[s] += 1\n"
    "            except OSError:\n"
    "                pass\n"
    "        tick += 1.0\n"
    "    for key, _ in selector.select(max(0.0, min(tick, end) - time.monotonic())):\n"
    "        s = key.fileobj\n"
    "        try:\n"
    "            data = s.recv(4096)\n"
    "        except OSError:\n"
    "            data = b''\n"
    "        if data:\n"
    "            answered += 1\n"
    "            continue\n"
    "        lives.append(time.monotonic() - born.pop(s))\n"
    "        selector.unregister(s)\n"
    "        s.close()\n"
    "print('closed %d open %d answered %d longest %.2f' % (len(lives), len(born), answered, max(lives, default=0)))\n");

} // namespace

// No client, or crowd of clients, holds the server or the rest of the program.
class TestServerLoad : public QObject
{
    Q_OBJECT

private slots:
    void tricklersAreBoundedAndDropped();
    void newcomerClosedWhenAllAreBusy();
    void largeDownloadDoesNotDelayOthers();
};

void TestServerLoad::tricklersAreBoundedAndDropped()
{
    QTemporaryDir ftpRoot;
    QFile ftpFile(ftpRoot.filePath(QStringLiteral("f.txt")));
    QVERIFY(ftpFile.open(QIODevice::WriteOnly) && ftpFile.write("s FTP-a") == 7);
    ftpFile.close();
    PyftpdlibPeer ftp;
    QVERIFY2(ftp.start(ftpRoot.path()), qPrintable(ftp.errorText()));

    constexpr int Limit = 256;
    constexpr int Clients = 400;
    const qsizetype bound = ServerEngine::connectionBound(Limit);
    QCOMPARE(bound, qsizetype(64));
    LoweredDescriptorLimit lowered(Limit);
    QVERIFY(lowered.lowered());
    RunningServer::Options options;
    options.requestTimeout = 3s;
    RunningServer server(options);
    server.addFile(QStringLiteral("small.txt"), "malo");

    QProcess tricklers;
    tricklers.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), Tricklers, QString::number(server.port()), QString::number(Clients),
            QStringLiteral("15") });
    QVERIFY(tricklers.waitForReadyRead(30000));
    QCOMPARE(tricklers.readLine().trimmed(), QByteArray("connected"));
    // Every newcomer beyond the bound made room by closing the oldest waiting one.
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("dropping oldest waiting socket...")));
    // Beyond the clients held: the listener and the test's own FTP connection.
    QVERIFY2(openSockets() <= bound + 8, qPrintable(QString::number(openSockets())));

    const qint64 normal = medianRequestTime(server.port());
    QVERIFY2(normal >= 0 && normal < 100, qPrintable(QString::number(normal)));
    inet::SyncRequest fetch({ QStringLiteral("Div-Ivo"), {}, 10, 5s, 5s, {} });
    QVERIFY(fetch.start(QStringLiteral("ftp://127.0.0.1:%1/f.txt").arg(ftp.port())));
    QCOMPARE(fetch.waitOpen(10s), inet::SyncRequest::Opening::Open);
    char content[16] = {};
    QCOMPARE(fetch.read(content, sizeof content, 10s), qint64(7));
    QCOMPARE(QByteArray(content), QByteArray("s FTP-a"));
    QVERIFY2(openSockets() <= bound + 8, qPrintable(QString::number(openSockets())));

    // The rest are dropped at the request limit, however they trickle.
    QVERIFY(tricklers.waitForFinished(30000));
    const QByteArray result = tricklers.readAll().trimmed();
    const QList<QByteArray> words = result.split(' ');
    QVERIFY2(words.size() == 8, result.constData());
    QCOMPARE(words[1].toInt(), Clients);
    QCOMPARE(words[5].toInt(), 0); // none was answered
    QVERIFY2(words[7].toDouble() < 3.0 + 2.0, result.constData());
    QTRY_VERIFY(server.statuses().count(QStringLiteral("WSAETIMEDOUT")) >= 1);
}

// With every held connection busy answering, there is nobody to make room:
// a newcomer is closed at once, and served again once room is made.
void TestServerLoad::newcomerClosedWhenAllAreBusy()
{
    constexpr int Limit = 256;
    const qsizetype bound = ServerEngine::connectionBound(Limit);
    LoweredDescriptorLimit lowered(Limit);
    QVERIFY(lowered.lowered());
    RunningServer server;
    server.addFile(QStringLiteral("small.txt"), "malo");
    server.addFile(QStringLiteral("big.bin"), QByteArray(8 << 20, 'b'));
    // Clients that ask for a large file and never read it: each answer waits on a full socket.
    QList<int> readers;
    const QByteArray ask = "GET /big.bin HTTP/1.0\r\n\r\n";
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(server.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (qsizetype i = 0; i < bound; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        setsockopt(client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        QVERIFY(::connect(client, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::send(client, ask.constData(), size_t(ask.size()), MSG_NOSIGNAL) == ask.size());
        readers.append(client);
    }
    QTRY_COMPARE(server.statuses().count(QStringLiteral("GET /big.bin HTTP/1.0")), int(bound));
    QCOMPARE(requestTime(server.port(), "/small.txt"), qint64(-1));
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("all sockets busy, closing new one...")));
    for (int client : std::as_const(readers))
        ::close(client);
    QTRY_VERIFY_WITH_TIMEOUT(requestTime(server.port(), "/small.txt") >= 0, 10000);
}

// While one client takes a 5 GB file as fast as it can, a small request waits
// no longer than it does on an idle server, give or take 50 ms.
void TestServerLoad::largeDownloadDoesNotDelayOthers()
{
    RunningServer server;
    server.addFile(QStringLiteral("small.txt"), "malo");
    QFile big(server.root() + QStringLiteral("big.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(5) << 30));
    big.close();

    const qint64 idle = medianRequestTime(server.port());
    QVERIFY(idle >= 0);
    QProcess download;
    download.start(QStringLiteral("curl"),
        { QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
            server.url(QStringLiteral("/big.bin")) });
    QVERIFY(download.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.bytesSent() > (qint64(200) << 20), 20000);
    const qint64 busy = medianRequestTime(server.port());
    const bool stillDownloading = download.state() == QProcess::Running;
    const qint64 sentMeanwhile = server.bytesSent();
    download.kill();
    download.waitForFinished();
    QVERIFY2(stillDownloading, "the download ended before the small requests were measured");
    QVERIFY(busy >= 0);
    QVERIFY2(busy - idle < 50, qPrintable(QStringLiteral("idle %1 ms, busy %2 ms").arg(idle).arg(busy)));
    QVERIFY(sentMeanwhile < qint64(5) << 30);
}

QTEST_GUILESS_MAIN(TestServerLoad)
#include "tst_serverload.moc"
