#include "common/FaultServerPeer.h"
#include "common/LighttpdPeer.h"
#include "common/TestBytes.h"
#include "common/TinyproxyPeer.h"
#include "getter/PageGetterEngine.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace { } // namespace

class TestPageGetterEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_work;
    LighttpdPeer m_http;
    FaultServerPeer m_faults;

    QString settingsPath() const { return m_work.filePath(QStringLiteral("TORVEX.INI")); }

    std::unique_ptr<PageGetterEngine> makeEngine(
        std::chrono::milliseconds readLimit = 20s, std::chrono::milliseconds failureHold = 100ms)
    {
        PageGetterOptions options;
        options.tick = 50ms;
        options.readLimit = readLimit;
        options.failureHold = failureHold;
        return std::make_unique<PageGetterEngine>(SettingsFile(settingsPath()), options);
    }

    PageGetterValues loadedValues(PageGetterEngine &engine)
    {
        QSignalSpy loaded(&engine, &PageGetterEngine::valuesLoaded);
        engine.start();
        if (loaded.size() != 1)
            return {};
        return loaded.first().first().value<PageGetterValues>();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_work.isValid());
        QFile file(m_root.filePath(QStringLiteral("big.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(testBytes(5 * 1024 * 1024));
        file.close();
        QVERIFY2(m_http.start(m_root.path()), qPrintable(m_http.errorText()));
        QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText()));
    }

    void init()
    {
        QFile::remove(settingsPath());
        ToolSettings::resetSharedValues();
    }

    void defaultsWithoutSettings()
    {
        auto engine = makeEngine();
        const PageGetterValues values = loadedValues(*engine);
        QCOMPARE(values.url, QStringLiteral("http://127.0.0.1"));
        QCOMPARE(values.localPath, QStringLiteral("Index.htm"));
        QCOMPARE(values.useProxy, false);
        QCOMPARE(values.proxy, QStringLiteral("localhost:8001"));
        QCOMPARE(PageGetterEngine::agentName(), QStringLiteral("Div-Ivo 0.000001b"));
    }

    void keysAreReadOnlyWithTheFirstKey_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expectedUrl");
        QTest::addColumn<QString>("expectedLocal");
        QTest::newRow("missing first key") << QString() << u"http://127.0.0.1"_qs << u"Index.htm"_qs;
        QTest::newRow("empty first key") << u""_qs << u"http://127.0.0.1"_qs << u"Index.htm"_qs;
        QTest::newRow("first key present") << u"http://127.0.0.2/a"_qs << u"http://127.0.0.2/a"_qs << u"other.htm"_qs;
    }
    void keysAreReadOnlyWithTheFirstKey()
    {
        QFETCH(QString, url);
        QFETCH(QString, expectedUrl);
        QFETCH(QString, expectedLocal);
        SettingsFile file(settingsPath());
        if (!url.isNull())
            QVERIFY(file.write(SettingsFile::toolSection(), u"SHTTPurl"_qs, url));
        QVERIFY(file.write(SettingsFile::toolSection(), u"SHTTPlf"_qs, u"other.htm"_qs));
        QVERIFY(file.write(SettingsFile::toolSection(), u"SHTTPiproxy"_qs, u"1"_qs));
        auto engine = makeEngine();
        const PageGetterValues values = loadedValues(*engine);
        QCOMPARE(values.url, expectedUrl);
        QCOMPARE(values.localPath, expectedLocal);
        QCOMPARE(values.useProxy, !url.isEmpty());
    }

    void theKeysAreWrittenAtClose()
    {
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ u"http://127.0.0.1:1/x   "_qs, u"y.htm"_qs, false, u"127.0.0.1:3128"_qs });
        engine->stop();
        SettingsFile file(settingsPath());
        QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPurl"_qs), u"http://127.0.0.1:1/x"_qs);
        QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPproxy"_qs), u"127.0.0.1:3128"_qs);
        QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPiproxy"_qs), u"0"_qs);
        QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPlf"_qs), u"y.htm"_qs);
    }

    void downloadsTheWholeFileAndCloses_data()
    {
        QTest::addColumn<bool>("throughProxy");
        QTest::newRow("direct") << false;
        QTest::newRow("proxy") << true;
    }
    void downloadsTheWholeFileAndCloses()
    {
        QFETCH(bool, throughProxy);
        TinyproxyPeer proxy;
        if (throughProxy)
            QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
        const QString local = m_work.filePath(QStringLiteral("got.bin"));
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ m_http.baseUrl() + u"big.bin"_qs, local, throughProxy, proxy.address() });
        QSignalSpy closed(engine.get(), &ToolEngine::closeRequested);
        QSignalSpy progress(engine.get(), &PageGetterEngine::progress);
        engine->startDownload();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 20000);
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == testBytes(5 * 1024 * 1024));
        QVERIFY(!progress.isEmpty());
        const QList<QVariant> last = progress.last();
        QCOMPARE(last.at(2).toString(), u"5242880/5242880"_qs);
        QCOMPARE(last.at(3).toString(), u"100%"_qs);
        QVERIFY(last.at(4).toString().endsWith(u"k/s"_qs));
        if (throughProxy)
            QTRY_VERIFY(proxy.log().contains(u"big.bin"_qs));
        QTRY_VERIFY(m_http.accessLog().contains(u"GET /big.bin HTTP/1.1\" 200 5242880 \"-\" \"Div-Ivo 0.000001b\""_qs));
    }

    void anUnwritableTargetReportsTheFailedWrite()
    {
        // A directory stands where the file should go: no user, root included, can write it.
        QTemporaryDir target;
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ m_http.baseUrl() + u"big.bin"_qs, target.path(), false, {} });
        QSignalSpy failed(engine.get(), &PageGetterEngine::writeFailed);
        QSignalSpy status(engine.get(), &PageGetterEngine::statusChanged);
        engine->startDownload();
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QCOMPARE(status.last().first().toString(), u"Error: 5"_qs);
    }

    void anUnreachableUrlSaysWhyAndCloses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("status");
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/").arg(PeerProcess::freePort())
                                 << u"Error: 12029 error_internet_cannot_connect"_qs;
        QTest::newRow("no scheme") << u"nothing"_qs << u"Error: 12006 error_internet_unrecognized_scheme"_qs;
        QTest::newRow("404") << m_faults.url(u"/status/404"_qs) << u"Error: 404"_qs;
    }
    void anUnreachableUrlSaysWhyAndCloses()
    {
        QFETCH(QString, url);
        QFETCH(QString, status);
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ url, m_work.filePath(u"never.bin"_qs), false, {} });
        QSignalSpy closed(engine.get(), &ToolEngine::closeRequested);
        QSignalSpy texts(engine.get(), &PageGetterEngine::statusChanged);
        engine->startDownload();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QCOMPARE(texts.last().first().toString(), status);
        QVERIFY(!QFile::exists(m_work.filePath(u"never.bin"_qs)));
    }

    // A server that stops sending, before or during the body, does not hold the
    // window for ever: the read limit ends the download, the status says why while
    // the window stays a moment, and what came is kept.
    void aTransferThatStopsSaysWhyAndCloses_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qsizetype>("kept");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("bytes"); // the last bytes text: what came of the announced size
        QTest::newRow("silent server") << u"/silent"_qs << qsizetype(-1) << u"Error: 12002 error_internet_timeout"_qs
                                       << QString();
        QTest::newRow("stalled body") << u"/stallafter/3000"_qs << qsizetype(3000)
                                      << u"Error: 12002 error_internet_timeout"_qs << u"3000/6000"_qs;
        QTest::newRow("body cut short") << u"/truncate/10240/20480"_qs << qsizetype(10240)
                                        << u"Error: 12030 error_internet_connection_aborted"_qs << u"10240/20480"_qs;
    }
    void aTransferThatStopsSaysWhyAndCloses()
    {
        QFETCH(QString, path);
        QFETCH(qsizetype, kept);
        QFETCH(QString, status);
        QFETCH(QString, bytes);
        const QString local = m_work.filePath(u"stopped.bin"_qs);
        QFile::remove(local);
        auto engine = makeEngine(400ms, 1s);
        loadedValues(*engine);
        engine->setValues({ m_faults.url(path), local, false, {} });
        QSignalSpy closed(engine.get(), &ToolEngine::closeRequested);
        QSignalSpy texts(engine.get(), &PageGetterEngine::statusChanged);
        QSignalSpy progress(engine.get(), &PageGetterEngine::progress);
        engine->startDownload();
        QTRY_COMPARE_WITH_TIMEOUT(texts.last().first().toString(), status, 10000);
        QCOMPARE(closed.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
        if (kept < 0) {
            QVERIFY(!QFile::exists(local));
            QVERIFY(progress.isEmpty());
            return;
        }
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == testBytes(kept));
        QCOMPARE(progress.last().at(2).toString(), bytes);
    }

    // The size the server announces is the range of the bar, the bytes text and
    // the percentage, which stay below the whole while the server holds the rest
    // back; without a size, the range is the largest total so far.
    void progressUsesTheAnnouncedSize_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("announced");
        QTest::newRow("Content-Length") << u"/slow/1048576/65536"_qs << true;
        QTest::newRow("chunked") << u"/chunked/1048576/65536"_qs << false;
    }
    void progressUsesTheAnnouncedSize()
    {
        QFETCH(QString, path);
        QFETCH(bool, announced);
        constexpr qint64 Size = 1048576;
        const QString local = m_work.filePath(u"slow.bin"_qs);
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ m_faults.url(path), local, false, {} });
        QSignalSpy closed(engine.get(), &ToolEngine::closeRequested);
        QSignalSpy progress(engine.get(), &PageGetterEngine::progress);
        engine->startDownload();
        const auto partWay = [&progress] {
            return !progress.isEmpty() && progress.last().at(0).toLongLong() > 0
                && progress.last().at(0).toLongLong() < Size / 2;
        };
        QTRY_VERIFY_WITH_TIMEOUT(partWay(), 10000);
        const QList<QVariant> during = progress.last();
        const qint64 total = during.at(0).toLongLong();
        const qint64 range = announced ? Size : total;
        QCOMPARE(during.at(1).toLongLong(), range);
        QCOMPARE(during.at(2).toString(), QString::number(total) + u'/' + QString::number(range));
        const double percent = during.at(3).toString().chopped(1).toDouble();
        if (announced)
            QVERIFY2(percent > 0 && percent < 50, qPrintable(during.at(3).toString()));
        else
            QCOMPARE(during.at(3).toString(), u"100%"_qs);

        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 20000);
        const QList<QVariant> last = progress.last();
        QCOMPARE(last.at(1).toLongLong(), Size);
        QCOMPARE(last.at(2).toString(), u"1048576/1048576"_qs);
        QCOMPARE(last.at(3).toString(), u"100%"_qs);
        // With a size, 100% is the last report's alone: the one after the file was closed.
        for (qsizetype i = 0; announced && i + 1 < progress.size(); ++i)
            QVERIFY2(progress.at(i).at(3).toString() != u"100%"_qs, qPrintable(progress.at(i).at(2).toString()));
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == testBytes(Size));
    }

    // "Prekid" during a slow transfer closes at once.
    void cancelEndsASlowTransfer()
    {
        auto engine = makeEngine();
        loadedValues(*engine);
        engine->setValues({ m_faults.url(u"/drip/100"_qs), m_work.filePath(u"drip.bin"_qs), false, {} });
        QSignalSpy closed(engine.get(), &ToolEngine::closeRequested);
        engine->startDownload();
        QTest::qWait(300);
        QMetaObject::invokeMethod(engine.get(), &PageGetterEngine::cancel, Qt::QueuedConnection);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 2000);
    }

    void rateAndPercentTexts()
    {
        QCOMPARE(PageGetterEngine::rateText(100000, 1000), u"100k/s"_qs);
        QCOMPARE(PageGetterEngine::percentText(50, 100), u"50%"_qs);
        QCOMPARE(PageGetterEngine::percentText(0, 0), u"100%"_qs);
    }
};

QTEST_GUILESS_MAIN(TestPageGetterEngine)
#include "tst_pagegetterengine.moc"
