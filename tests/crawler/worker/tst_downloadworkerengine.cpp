#include "common/FaultServerPeer.h"
#include "common/LighttpdPeer.h"
#include "common/TestBytes.h"
#include "common/TinyproxyPeer.h"
#include "crawler/DownloadWorkerEngine.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One worker run on the test's thread, with a short clock and read limit.
struct Run
{
    std::unique_ptr<DownloadWorkerEngine> engine;
    QStringList titles;
    QStringList statuses;
    std::unique_ptr<QSignalSpy> closed;

    Run(const DownloadJob &job, std::chrono::milliseconds readLimit = 5s)
    {
        DownloadWorkerOptions options;
        options.readLimit = readLimit;
        options.tick = 50ms;
        options.statusInterval = 0ms;
        engine = std::make_unique<DownloadWorkerEngine>(0, job, options);
        QObject::connect(
            engine.get(), &DownloadWorkerEngine::titleChanged, [this](const QString &title) { titles << title; });
        QObject::connect(
            engine.get(), &DownloadWorkerEngine::statusChanged, [this](const QString &text) { statuses << text; });
        closed = std::make_unique<QSignalSpy>(engine.get(), &ToolEngine::closeRequested);
        engine->start();
    }
};

} // namespace

class TestDownloadWorkerEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_out;
    LighttpdPeer m_http;
    FaultServerPeer m_faults;

    QString target(const QString &name) const { return m_out.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_out.isValid());
        for (qsizetype size : { 0, 1, 4096, 4097, 5 * 1024 * 1024 }) {
            QFile file(m_root.filePath(QStringLiteral("f%1.bin").arg(size)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(testBytes(size));
        }
        QVERIFY2(m_http.start(m_root.path()), qPrintable(m_http.errorText()));
        QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText()));
    }

    void titlesAndAgentNames()
    {
        const QString url34 = QStringLiteral("http://127.0.0.1/abcdefghij/kl.gif");
        QCOMPARE(url34.size(), 34);
        QCOMPARE(DownloadWorkerEngine::titleFor(url34, 1), url34);
        const QString url35 = url34 + u'x';
        QCOMPARE(DownloadWorkerEngine::titleFor(url35, 1), QStringLiteral("... ") + url35);
        QCOMPARE(DownloadWorkerEngine::titleFor(url35 + QStringLiteral("   "), 3),
            QStringLiteral("... ") + url35 + QStringLiteral(" #3"));
        QCOMPARE(DownloadWorkerEngine::titleFor(QStringLiteral("x") + url35, 2),
            QStringLiteral("... ") + url35 + QStringLiteral(" #2"));
        QCOMPARE(DownloadWorkerEngine::agentName(0, 4711), QStringLiteral("HTTP_A4711"));
        QCOMPARE(DownloadWorkerEngine::agentName(3, 1), QStringLiteral("HTTP_D1"));
    }

    void bodiesArriveByteForByte_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (qsizetype size : { 1, 4096, 4097, 5 * 1024 * 1024 })
            QTest::addRow("%lld bytes", qlonglong(size)) << size;
    }
    void bodiesArriveByteForByte()
    {
        QFETCH(qsizetype, size);
        const QString path = target(QStringLiteral("body%1.bin").arg(size));
        Run run({ m_http.baseUrl() + QStringLiteral("f%1.bin").arg(size), path, {} });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        QVERIFY(contents(path) == testBytes(size));
        QCOMPARE(run.engine->attemptsMade(), 1);
        QCOMPARE(run.engine->total(), size);
        QCOMPARE(run.titles.size(), 1);
    }

    // The request carries the worker's agent name: its letter and a number from 1 to 10000.
    void theAgentNameReachesTheServer()
    {
        DownloadWorkerOptions options;
        options.tick = 50ms;
        options.statusInterval = 0ms;
        DownloadWorkerEngine engine(
            2, { m_http.baseUrl() + QStringLiteral("f1.bin?agent"), target(u"agent.bin"_qs), {} }, options);
        QSignalSpy closed(&engine, &ToolEngine::closeRequested);
        engine.start();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 20000);
        const QRegularExpression line(QStringLiteral("GET /f1\\.bin\\?agent .*\"HTTP_C(\\d+)\"\n"));
        QRegularExpressionMatch match;
        QTRY_VERIFY((match = line.match(m_http.accessLog())).hasMatch());
        const int number = match.captured(1).toInt();
        QVERIFY2(number >= 1 && number <= 10000, qPrintable(match.captured(1)));
    }

    // An empty body brings nothing, so it is tried four times; the file is there, empty.
    void anEmptyBodyLeavesAnEmptyFile()
    {
        const QString path = target(QStringLiteral("empty.bin"));
        Run run({ m_http.baseUrl() + QStringLiteral("f0.bin"), path, {} });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(contents(path), QByteArray());
        QCOMPARE(run.engine->attemptsMade(), DownloadWorkerEngine::MaxAttempts);
    }

    // The texts of a normal fetch come in the order of the transfer.
    void statusTextsFollowTheTransfer()
    {
        Run run({ m_http.baseUrl() + QStringLiteral("f4097.bin"), target(QStringLiteral("texts.bin")), {} });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        qsizetype last = -1;
        for (const char *text :
            { "Veza kreirana.", "Spajam se na Server ...", "Spojen na Server.", "Šaljem zahtjev ...", "Zahtjev poslan.",
                "Primam odgovor ...", "Odgovor primljen.", "Zahtjev izvršen." }) {
            const qsizetype at = run.statuses.indexOf(QString::fromUtf8(text), last + 1);
            QVERIFY2(at > last, text);
            last = at;
        }
    }

    void aBodyCutShortKeepsItsDataAndIsNotRetried()
    {
        const QString path = target(QStringLiteral("cut.bin"));
        Run run({ m_faults.url(QStringLiteral("/truncate/10240/20480")), path, {} });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        QVERIFY(contents(path) == testBytes(10240));
        QCOMPARE(run.engine->attemptsMade(), 1);
        QCOMPARE(run.statuses.last(), QStringLiteral("Error: 12030"));
        QCOMPARE(run.titles.size(), 1);
    }

    void aSilentServerIsTriedFourTimes()
    {
        const int before = m_faults.requestCount(QStringLiteral("silent"));
        Run run({ m_faults.url(QStringLiteral("/silent")), target(QStringLiteral("silent.bin")), {} }, 300ms);
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        const QString first = DownloadWorkerEngine::titleFor(m_faults.url(QStringLiteral("/silent")), 1);
        QCOMPARE(run.titles, QStringList({ first, first + u" #2"_qs, first + u" #3"_qs, first + u" #4"_qs }));
        QCOMPARE(run.engine->attemptsMade(), 4);
        QCOMPARE(m_faults.requestCount(QStringLiteral("silent")) - before, 4);
        QCOMPARE(run.statuses.last(), QStringLiteral("Error: 12002"));
    }

    void abortBeforeDataStartsTheNextAttempt()
    {
        const int before = m_faults.requestCount(QStringLiteral("silent"));
        Run run({ m_faults.url(QStringLiteral("/silent")), target(QStringLiteral("abort.bin")), {} });
        for (int attempt = 1; attempt <= 4; ++attempt) {
            // The attempt's request has reached the server, which sends nothing.
            QTRY_COMPARE(m_faults.requestCount(QStringLiteral("silent")) - before, attempt);
            QCOMPARE(run.titles.size(), attempt);
            QCOMPARE(run.closed->size(), 0);
            run.engine->abort();
            QCOMPARE(run.engine->attemptsMade(), attempt);
        }
        QCOMPARE(run.titles.mid(1),
            QStringList(
                { run.titles.first() + u" #2"_qs, run.titles.first() + u" #3"_qs, run.titles.first() + u" #4"_qs }));
        QTRY_COMPARE(run.closed->size(), 1);
        QTest::qWait(200);
        QCOMPARE(m_faults.requestCount(QStringLiteral("silent")) - before, 4);
    }

    // A second "Prekid" that comes before the next attempt has started (a double
    // click) finds no attempt to end: it neither counts nor starts a second one.
    void aPrekidBetweenAttemptsIsIgnored()
    {
        const int before = m_faults.requestCount(QStringLiteral("silent"));
        Run run({ m_faults.url(QStringLiteral("/silent")), target(QStringLiteral("double.bin")), {} });
        QTRY_VERIFY(run.statuses.contains(QStringLiteral("Šaljem zahtjev ...")));
        run.engine->abort();
        run.engine->abort();
        QTRY_COMPARE(m_faults.requestCount(QStringLiteral("silent")) - before, 2);
        QTest::qWait(300);
        QCOMPARE(m_faults.requestCount(QStringLiteral("silent")) - before, 2);
        QCOMPARE(run.engine->attemptsMade(), 1);
        QCOMPARE(run.titles.size(), 2);
    }

    // The read limit ends a read that never completes and keeps what came before.
    void theReadLimitEndsAStalledRead()
    {
        const QString path = target(QStringLiteral("stalled.bin"));
        Run run({ m_faults.url(QStringLiteral("/stallafter/3000")), path, {} }, 400ms);
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 10000);
        QVERIFY(contents(path) == testBytes(3000));
        QCOMPARE(run.engine->attemptsMade(), 1);
    }

    // A refusal of the server is final; a failure that may pass is tried four times.
    void failuresShowTheirCode_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("attempts");
        QTest::newRow("404") << m_faults.url(QStringLiteral("/status/404")) << target(QStringLiteral("404.bin"))
                             << QStringLiteral("Error: 404") << 1;
        QTest::newRow("redirect loop") << m_faults.url(QStringLiteral("/redirect-loop"))
                                       << target(QStringLiteral("loop.bin")) << QStringLiteral("Error: 12003") << 1;
        QTest::newRow("500") << m_faults.url(QStringLiteral("/status/500")) << target(QStringLiteral("500.bin"))
                             << QStringLiteral("Error: 500") << 4;
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/").arg(PeerProcess::freePort())
                                 << target(QStringLiteral("refused.bin")) << QStringLiteral("Error: 12029") << 4;
        QTest::newRow("no such directory") << m_http.baseUrl() + QStringLiteral("f4096.bin")
                                           << target(QStringLiteral("none/x.bin")) << QStringLiteral("Error: 3") << 4;
    }
    void failuresShowTheirCode()
    {
        QFETCH(QString, url);
        QFETCH(QString, path);
        QFETCH(QString, status);
        QFETCH(int, attempts);
        Run run({ url, path, {} });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        QCOMPARE(run.statuses.last(), status);
        QCOMPARE(run.engine->attemptsMade(), attempts);
        QVERIFY(!run.statuses.contains(QStringLiteral("Veza zatvorena.")));
    }

    void aProxyCarriesTheDownload()
    {
        TinyproxyPeer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
        const QString path = target(QStringLiteral("proxied.bin"));
        Run run({ m_http.baseUrl() + QStringLiteral("f4097.bin"), path, proxy.address() });
        QTRY_COMPARE_WITH_TIMEOUT(run.closed->size(), 1, 20000);
        QVERIFY(contents(path) == testBytes(4097));
        QTRY_VERIFY(proxy.log().contains(QStringLiteral("f4097.bin")));
    }
};

QTEST_GUILESS_MAIN(TestDownloadWorkerEngine)
#include "tst_downloadworkerengine.moc"
