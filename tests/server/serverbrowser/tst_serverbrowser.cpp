#include "common/PeerProcess.h"
#include "server/support/RunningServer.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Headless Chromium with everything that would reach beyond loopback turned off.
ClientRun chromium(const QStringList &what, const QString &url)
{
    QTemporaryDir profile;
    const QString program = PeerProcess::findProgram(QStringLiteral("chromium"));
    if (program.isEmpty())
        return {};
    return runClient(program,
        QStringList { QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
            QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"), QStringLiteral("--user-data-dir=") + profile.path() }
            + what + QStringList { url },
        60000);
}

} // namespace

class TestServerBrowser : public QObject
{
    Q_OBJECT

private slots:
    void servedPageRenders();
    void listingRenders();
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

QTEST_GUILESS_MAIN(TestServerBrowser)
#include "tst_serverbrowser.moc"
