#include "common/FaultServerPeer.h"
#include "common/PeerProcess.h"
#include "common/TestBytes.h"
#include "platform/inet/SyncRequest.h"

#include <QTest>

using namespace inet;
using namespace std::chrono_literals;

namespace {

// Reads to the end; the bytes that came, and the last read's result.
QByteArray readAll(SyncRequest &request, qint64 &last)
{
    QByteArray body;
    char buffer[4096];
    for (int round = 0; round < 100000; ++round) {
        last = request.read(buffer, sizeof buffer, 2s);
        if (last <= 0)
            break;
        body.append(buffer, last);
    }
    return body;
}

} // namespace

// The synchronous request the Page getter reads with.
class TestSyncRequest : public QObject
{
    Q_OBJECT

    FaultServerPeer m_faults;
    SessionSettings m_settings { QStringLiteral("Div-Ivo 0.000001b"), {}, 10, {}, {}, {} };

private slots:
    void initTestCase() { QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText())); }

    void bodiesArriveWhole_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (qsizetype size : { 0, 1, 4096, 4097, 5 * 1024 * 1024 })
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void bodiesArriveWhole()
    {
        QFETCH(qsizetype, size);
        SyncRequest request(m_settings);
        QVERIFY(request.start(m_faults.url(QStringLiteral("/ok/%1").arg(size))));
        QCOMPARE(request.waitOpen(5s), SyncRequest::Opening::Open);
        qint64 last = 0;
        QVERIFY(readAll(request, last) == testBytes(size));
        QCOMPARE(last, 0);
        QCOMPARE(request.error(), 0);
    }

    void failuresCarryTheirCodes_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("error");
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/").arg(PeerProcess::freePort()) << 12029;
        QTest::newRow("404") << m_faults.url(QStringLiteral("/status/404")) << 404;
        QTest::newRow("no answer") << m_faults.url(QStringLiteral("/hangup")) << 12030;
        QTest::newRow("reset") << m_faults.url(QStringLiteral("/reset")) << 12031;
    }
    void failuresCarryTheirCodes()
    {
        QFETCH(QString, url);
        QFETCH(int, error);
        SyncRequest request(m_settings);
        QVERIFY(request.start(url));
        QCOMPARE(request.waitOpen(5s), SyncRequest::Opening::Failed);
        QCOMPARE(request.error(), error);
    }

    void aUrlItCannotOpenFailsAtTheStart()
    {
        SyncRequest request(m_settings);
        QVERIFY(!request.start(QStringLiteral("gopherx://127.0.0.1/")));
        QCOMPARE(request.error(), 12006);
        QCOMPARE(request.waitOpen(1s), SyncRequest::Opening::Failed);
    }

    // The server sends the headers, part of the body and closes before the
    // opener looks: the response is open, what came is read, then the failure.
    void aBodyCutShortBeforeTheOpenerLooksKeepsWhatCame()
    {
        SyncRequest request(m_settings);
        QVERIFY(request.start(m_faults.url(QStringLiteral("/truncate/10240/20480"))));
        // Short looks send the request without reading the answer to its end.
        SyncRequest::Opening opening = SyncRequest::Opening::Pending;
        for (int look = 0; look < 50 && opening == SyncRequest::Opening::Pending; ++look) {
            opening = request.waitOpen(0ms);
            if (opening == SyncRequest::Opening::Pending)
                QTest::qSleep(20);
        }
        QCOMPARE(opening, SyncRequest::Opening::Open);
        qint64 last = 0;
        QVERIFY(readAll(request, last) == testBytes(10240));
        QCOMPARE(last, SyncRequest::Failed);
        QCOMPARE(request.error(), 12030);
    }

    void aSilentServerLeavesTheOpenPending()
    {
        SyncRequest request(m_settings);
        QVERIFY(request.start(m_faults.url(QStringLiteral("/silent"))));
        QCOMPARE(request.waitOpen(300ms), SyncRequest::Opening::Pending);
        QCOMPARE(request.error(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSyncRequest)
#include "tst_syncrequest.moc"
