#include "common/PeerProcess.h"
#include "server/support/RunningServer.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Headless Chromium's flags, with everything that would reach beyond loopback turned off.
QStringList chromiumFlags(const QTemporaryDir &profile)
{
    return { QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"), QStringLiteral("--user-data-dir=") + profile.path() };
}

ClientRun chromium(const QStringList &what, const QString &url)
{
    QTemporaryDir profile;
    const QString program = PeerProcess::findProgram(QStringLiteral("chromium"));
    if (program.isEmpty())
        return {};
    return runClient(program, chromiumFlags(profile) + what + QStringList { url }, 60000);
}

// What the page's element "state" says once it no longer says "waiting"
// (page_state.py beside this test), and its screenshot when shot is given.
QString pageState(const QString &url, const QString &shot = QStringLiteral("-"))
{
    QTemporaryDir profile;
    const QString script
        = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/server/serverbrowser/page_state.py");
    const ClientRun run = runClient(QStringLiteral("/usr/bin/python3"),
        QStringList { script, PeerProcess::findProgram(QStringLiteral("chromium")), url, shot, QStringLiteral("30"),
            QStringLiteral("--window-size=700,560"), QStringLiteral("--autoplay-policy=no-user-gesture-required") }
            + chromiumFlags(profile),
        60000);
    if (run.exitCode != 0)
        return QString::fromUtf8(run.errors);
    return QString::fromUtf8(run.output).trimmed();
}

} // namespace

class TestServerBrowser : public QObject
{
    Q_OBJECT

private slots:
    void servedPageRenders();
    void listingRenders();
    void videoSeeksByRange();
    void wasmInstantiatesStreaming();
};

void TestServerBrowser::servedPageRenders()
{
    RunningServer server;
    server.addFile(QStringLiteral("Stranica.HTM"),
        "<html><head><title>Proba</title></head><body><p id=\"p\">Dobar dan</p>"
        "<script>document.getElementById('p').textContent += ' iz skripte';</script></body></html>");
    const ClientRun run = chromium({ QStringLiteral("--dump-dom") }, server.url(QStringLiteral("/stranica.htm")));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.output.contains("<p id=\"p\">Dobar dan iz skripte</p>"), run.output.constData());
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("GET /stranica.htm HTTP/1.1")));
}

void TestServerBrowser::listingRenders()
{
    RunningServer server;
    server.addFile(QStringLiteral("docs/Izvještaj 2026.txt"), QByteArray(25000, 'x'));
    server.addFile(QStringLiteral("docs/<b>oznaka.txt"), "b");
    server.addFile(QStringLiteral("docs/Slike/a.gif"), "GIF89a");
    const QString url = server.url(QStringLiteral("/docs/"));
    const ClientRun dom = chromium({ QStringLiteral("--dump-dom") }, url);
    QCOMPARE(dom.exitCode, 0);
    const QString text = QString::fromUtf8(dom.output);
    // The browser parsed the links and names as the page meant them.
    QVERIFY2(text.contains(QStringLiteral("<a href=\"/docs/slike\">SLIKE</a>")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("<a href=\"/docs/izvje%C5%A1taj%202026.txt\">izvještaj 2026.txt</a>")));
    QVERIFY(text.contains(QStringLiteral(">&lt;b&gt;oznaka.txt</a>")));
    QVERIFY(!text.contains(QStringLiteral("<b>oznaka")));
    QVERIFY(text.contains(QStringLiteral("Kbytes in 3 files.")));
    QVERIFY(text.contains(QStringLiteral("HTTP_ by Quorin.")));

    const QString shot = QStringLiteral("/tmp/serverlisting.png");
    QFile::remove(shot);
    const ClientRun picture
        = chromium({ QStringLiteral("--screenshot=") + shot, QStringLiteral("--window-size=900,500") }, url);
    QCOMPARE(picture.exitCode, 0);
    const QImage image(shot);
    QVERIFY(!image.isNull());
    // The page's grey background (#C0C0C0) fills the top left corner.
    QCOMPARE(image.pixelColor(2, 2), QColor(0xC0, 0xC0, 0xC0));
}

// A video longer than the browser fetches at first: the seek near its end
// needs a range request of its own, which the log shows as a 206 answer.
void TestServerBrowser::videoSeeksByRange()
{
    RunningServer server;
    const QString clip = server.root() + QStringLiteral("clip.webm");
    // Noise keeps the encoder from making it small.
    const ClientRun encode = runClient(QStringLiteral("ffmpeg"),
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("testsrc=duration=20:size=320x240:rate=10"), QStringLiteral("-vf"),
            QStringLiteral("noise=alls=40:allf=t"), QStringLiteral("-c:v"), QStringLiteral("libvpx"),
            QStringLiteral("-deadline"), QStringLiteral("realtime"), QStringLiteral("-cpu-used"), QStringLiteral("8"),
            QStringLiteral("-b:v"), QStringLiteral("3M"), QStringLiteral("-minrate"), QStringLiteral("3M"),
            QStringLiteral("-maxrate"), QStringLiteral("3M"), QStringLiteral("-bufsize"), QStringLiteral("1M"),
            QStringLiteral("-g"), QStringLiteral("10"), clip },
        60000);
    QVERIFY2(encode.exitCode == 0, encode.errors.constData());
    server.addFile(QStringLiteral("video.htm"),
        "<html><body><video id=\"v\" src=\"/clip.webm\" muted preload=\"metadata\" width=\"640\"></video>"
        "<p id=\"state\">waiting</p><script>"
        "const v = document.getElementById('v'), s = document.getElementById('state');"
        "v.addEventListener('loadedmetadata', () => { v.currentTime = 18; });"
        "v.addEventListener('seeked', () => { s.textContent = 'seeked ' + v.currentTime.toFixed(1); });"
        "v.addEventListener('error', () => { s.textContent = 'error ' + v.error.code; });"
        "</script></body></html>");
    const QString shot = QStringLiteral("/tmp/servervideo.png");
    QFile::remove(shot);
    QCOMPARE(pageState(server.url(QStringLiteral("/video.htm")), shot), QStringLiteral("seeked 18.0"));
    QTRY_VERIFY(server.statuses().contains(QStringLiteral("206 Partial Content")));
    QVERIFY(server.statuses().count(QStringLiteral("GET /clip.webm HTTP/1.1")) >= 2);
    QVERIFY(!QImage(shot).isNull());
}

// A browser compiles WebAssembly while it streams in only under its own type.
void TestServerBrowser::wasmInstantiatesStreaming()
{
    RunningServer server;
    // A module exporting add(i32, i32) -> i32.
    const QByteArray module = QByteArray::fromHex("0061736d01000000"
                                                  "01070160027f7f017f"
                                                  "03020100"
                                                  "070701036164640000"
                                                  "0a09010700200020016a0b");
    server.addFile(QStringLiteral("add.wasm"), module);
    server.addFile(QStringLiteral("wasm.htm"),
        "<html><body><p id=\"state\">waiting</p><script>"
        "const s = document.getElementById('state');"
        "WebAssembly.instantiateStreaming(fetch('/add.wasm')).then("
        "r => { s.textContent = 'add ' + r.instance.exports.add(2, 3); },"
        "e => { s.textContent = 'error ' + e; });"
        "</script></body></html>");
    QCOMPARE(pageState(server.url(QStringLiteral("/wasm.htm"))), QStringLiteral("add 5"));
}

QTEST_GUILESS_MAIN(TestServerBrowser)
#include "tst_serverbrowser.moc"
