#include "common/FaultServerPeer.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "common/PyftpdlibPeer.h"
#include "common/TestBytes.h"
#include "common/TinyproxyPeer.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/InternetRequest.h"
#include "platform/inet/InternetSession.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace inet;

namespace {

// Drives one request to its end the way a tool does: reads as soon as the URL
// is open and after each completed read, and records every notification.
struct Fetch
{
    QStringList codes;
    QByteArray body;
    int openError = -1;
    int error = 0;
    bool done = false;
};

void fetch(
    Fetch &into, InternetSession &session, const QString &url, qsizetype readSize = 4096, qsizetype bufferLimit = 0)
{
    Fetch *record = &into;
    InternetRequest *request = session.openUrl(url, 77);
    if (bufferLimit)
        request->setBufferLimit(bufferLimit);
    QObject::connect(request, &InternetRequest::status, request, [record](quintptr context, int code) {
        QCOMPARE(context, quintptr(77));
        record->codes << QString::number(code);
        if (code == Status::ConnectionClosed)
            record->done = true;
    });
    QObject::connect(request, &InternetRequest::completed, request,
        [record, request, readSize](quintptr, const AsyncResult &result) {
            if (record->openError < 0) {
                record->openError = result.error;
                if (result.error)
                    record->done = true;
                else
                    QCOMPARE(result.result, request->handle());
            } else {
                record->body += result.data;
                QCOMPARE(result.result, quintptr(result.data.size()));
                record->error = result.error;
                if (result.error || result.data.isEmpty()) {
                    record->done = true;
                    return;
                }
            }
            if (!result.error)
                request->read(readSize);
        });
    QTRY_VERIFY_WITH_TIMEOUT(record->done, 20000);
    // Anything still queued would show here.
    QTest::qWait(50);
    request->close();
}

// Sets environment variables for the life of the object.
class Environment
{
public:
    Environment(std::initializer_list<std::pair<const char *, QByteArray>> values)
    {
        for (const auto &[name, value] : values) {
            m_saved.append({ name, qgetenv(name), qEnvironmentVariableIsSet(name) });
            qputenv(name, value);
        }
    }
    ~Environment()
    {
        for (const Saved &saved : std::as_const(m_saved)) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

private:
    struct Saved
    {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};

QString sequence(const Fetch &fetch)
{
    return fetch.codes.join(u' ');
}

} // namespace

class TestInternetRequest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    LighttpdPeer m_http;
    FaultServerPeer m_faults;
    SessionSettings m_settings { QStringLiteral("HTTP_T1"), {}, 10, {}, {}, {} };

    void writeFile(const QString &name, const QByteArray &data)
    {
        QFile file(m_root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        for (qsizetype size : { 0, 1, 4096, 4097, 10000, 5 * 1024 * 1024 })
            writeFile(QStringLiteral("f%1.bin").arg(size), testBytes(size));
        QVERIFY2(m_http.start(m_root.path()), qPrintable(m_http.errorText()));
        QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText()));
    }

    // A first request looks the name up and connects; the second one to the same
    // server on the same driver reuses the kept-alive connection.
    void notificationsComeInTheirOrder()
    {
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        const QString url = QStringLiteral("http://localhost:%1/f10000.bin").arg(m_http.port());
        Fetch first_;
        fetch(first_, session, url);
        QCOMPARE(first_.openError, 0);
        QCOMPARE(first_.body, testBytes(10000));
        const QRegularExpression fresh(
            QStringLiteral("^60 (10 11 )?20 21 30 31 40 41 100 (40 41 100 )+(100 )?50 51 70$"));
        QVERIFY2(fresh.match(sequence(first_)).hasMatch(), qPrintable(sequence(first_)));
        QVERIFY(first_.codes.contains(QStringLiteral("10")));

        Fetch second_;
        fetch(second_, session, url);
        const QRegularExpression reused(QStringLiteral("^60 30 31 40 41 100 (40 41 100 )+(100 )?50 51 70$"));
        QVERIFY2(reused.match(sequence(second_)).hasMatch(), qPrintable(sequence(second_)));
        QCOMPARE(second_.body, testBytes(10000));
    }

    void bodiesArriveWhole_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("bufferLimit");
        for (qsizetype size : { 0, 1, 4096, 4097, 5 * 1024 * 1024 }) {
            QTest::addRow("%lld bytes", qlonglong(size)) << size << qsizetype(0);
            QTest::addRow("%lld bytes, small buffer", qlonglong(size)) << size << qsizetype(1000);
        }
    }
    void bodiesArriveWhole()
    {
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, bufferLimit);
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, m_http.baseUrl() + QStringLiteral("f%1.bin").arg(size), 4096, bufferLimit);
        QCOMPARE(result_.openError, 0);
        QCOMPARE(result_.error, 0);
        QCOMPARE(result_.body.size(), size);
        QVERIFY(result_.body == testBytes(size));
        QCOMPARE(result_.codes.mid(result_.codes.size() - 3), QStringList({ u"50"_qs, u"51"_qs, u"70"_qs }));
    }

    void failuresCarryTheirCodes_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("opened");
        const QString longLabel(64, u'a');
        QTest::newRow("unresolvable") << QStringLiteral("http://%1.invalid/").arg(longLabel) << 12007 << false;
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/").arg(PeerProcess::freePort()) << 12029
                                 << false;
        QTest::newRow("malformed") << QStringLiteral("http://[::1/") << 12005 << false;
        QTest::newRow("unknown scheme") << QStringLiteral("gopherx://127.0.0.1/") << 12006 << false;
        QTest::newRow("no scheme") << QStringLiteral("nothing") << 12006 << false;
        QTest::newRow("reset") << m_faults.url(QStringLiteral("/reset")) << 12031 << false;
        QTest::newRow("no answer") << m_faults.url(QStringLiteral("/hangup")) << 12030 << false;
        QTest::newRow("404") << m_faults.url(QStringLiteral("/status/404")) << 404 << false;
        QTest::newRow("500") << m_faults.url(QStringLiteral("/status/500")) << 500 << false;
        QTest::newRow("redirect loop") << m_faults.url(QStringLiteral("/redirect-loop")) << 12003 << false;
        QTest::newRow("cut short") << m_faults.url(QStringLiteral("/truncate/10240/20480")) << 12030 << true;
    }
    void failuresCarryTheirCodes()
    {
        QFETCH(QString, url);
        QFETCH(int, error);
        QFETCH(bool, opened);
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, url);
        QCOMPARE(result_.openError, opened ? 0 : error);
        if (opened)
            QCOMPARE(result_.error, error);
        QVERIFY(result_.body.isEmpty() || opened);
        QVERIFY2(!result_.codes.contains(QStringLiteral("51")), qPrintable(sequence(result_)));
        QCOMPARE(result_.codes.first(), QStringLiteral("60"));
        QCOMPARE(result_.codes.last(), QStringLiteral("70"));
    }

    void aBodyCutShortKeepsWhatArrived()
    {
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, m_faults.url(QStringLiteral("/truncate/10240/20480")));
        QCOMPARE(result_.body, testBytes(10240));
        QCOMPARE(result_.error, 12030);
    }

    void aStalledTransferTimesOut()
    {
        CurlDriver driver;
        SessionSettings settings = m_settings;
        settings.idleTimeout = std::chrono::seconds(1);
        InternetSession session(driver, settings);
        Fetch result_;
        fetch(result_, session, m_faults.url(QStringLiteral("/silent")));
        QCOMPARE(result_.openError, 12002);
    }

    void redirectsAreFollowedAndReported()
    {
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, m_faults.url(QStringLiteral("/redirect-once")));
        QCOMPARE(result_.openError, 0);
        QCOMPARE(result_.body, testBytes(100));
        // The redirect's headers arrive (40 41), 110 follows them, and the next
        // request goes out on a new connection (the server closed the first).
        const QRegularExpression followed(
            QStringLiteral("^60 (10 11 )?20 21 30 31 40 41 110 20 21 30 31 40 41 100 (40 41 100 )+(100 )?50 51 70$"));
        QVERIFY2(followed.match(sequence(result_)).hasMatch(), qPrintable(sequence(result_)));
    }

    // The session's proxy is used for every host, whatever no_proxy says.
    void aProxyCarriesTheRequest()
    {
        TinyproxyPeer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
        const Environment bypass { { "no_proxy", "127.0.0.1,localhost" }, { "NO_PROXY", "127.0.0.1,localhost" } };
        CurlDriver driver;
        SessionSettings settings = m_settings;
        settings.proxy = proxy.address();
        InternetSession session(driver, settings);
        Fetch result_;
        fetch(result_, session, m_http.baseUrl() + QStringLiteral("f4097.bin"));
        QCOMPARE(result_.openError, 0);
        QCOMPARE(result_.body, testBytes(4097));
        QTRY_VERIFY(proxy.log().contains(QStringLiteral("f4097.bin")));
    }

    // https: the server's certificate is checked against the trusted ones; a
    // proxy carries the encrypted request through its tunnel.
    void httpsBodiesArriveWhole_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("throughProxy");
        QTest::newRow("address") << u"127.0.0.1"_qs << false;
        QTest::newRow("name") << u"localhost"_qs << false;
        QTest::newRow("proxy") << u"127.0.0.1"_qs << true;
    }
    void httpsBodiesArriveWhole()
    {
        QFETCH(QString, host);
        QFETCH(bool, throughProxy);
        FaultServerPeer secure;
        QVERIFY2(secure.startTls(), qPrintable(secure.errorText()));
        TinyproxyPeer proxy;
        if (throughProxy)
            QVERIFY2(proxy.start(), qPrintable(proxy.errorText()));
        CurlDriver driver;
        SessionSettings settings = m_settings;
        settings.caFile = FaultServerPeer::caFile();
        settings.proxy = throughProxy ? proxy.address() : QString();
        InternetSession session(driver, settings);
        const QString url = QStringLiteral("https://%1:%2/ok/5000").arg(host, QString::number(secure.port()));
        Fetch result_;
        fetch(result_, session, url);
        QCOMPARE(result_.openError, 0);
        QCOMPARE(result_.error, 0);
        QVERIFY(result_.body == testBytes(5000));
        const QRegularExpression order(
            QStringLiteral("^60 (10 11 )?20 21 30 31 40 41 100 (40 41 100 )+(100 )?50 51 70$"));
        QVERIFY2(order.match(sequence(result_)).hasMatch(), qPrintable(sequence(result_)));
        if (throughProxy)
            QTRY_VERIFY(proxy.log().contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(secure.port())));
    }

    // An ftp URL is opened like an http one (anonymous login, binary transfer);
    // a file the server does not have fails with the extended error.
    void ftpFilesArriveWhole()
    {
        PyftpdlibPeer ftp;
        QVERIFY2(ftp.start(m_root.path()), qPrintable(ftp.errorText()));
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, QStringLiteral("ftp://%1/f4097.bin").arg(ftp.address()));
        QCOMPARE(result_.openError, 0);
        QCOMPARE(result_.error, 0);
        QVERIFY(result_.body == testBytes(4097));
        QCOMPARE(result_.codes.first(), QStringLiteral("60"));
        QCOMPARE(result_.codes.mid(result_.codes.size() - 3), QStringList({ u"50"_qs, u"51"_qs, u"70"_qs }));

        Fetch missing;
        fetch(missing, session, QStringLiteral("ftp://%1/none.bin").arg(ftp.address()));
        QCOMPARE(missing.openError, 12003);
        QVERIFY(missing.body.isEmpty());
    }

    // One kept-alive FTP connection carries fetch after fetch: each sets up a
    // data connection of its own, and none of them may stall on the way.
    void ftpFetchesFollowOneAnother()
    {
        PyftpdlibPeer ftp;
        QVERIFY2(ftp.start(m_root.path()), qPrintable(ftp.errorText()));
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        for (int round = 0; round < 25; ++round) {
            Fetch present;
            fetch(present, session, QStringLiteral("ftp://%1/f4097.bin").arg(ftp.address()));
            QCOMPARE(present.openError, 0);
            QVERIFY(present.body == testBytes(4097));
            Fetch missing;
            fetch(missing, session, QStringLiteral("ftp://%1/none.bin").arg(ftp.address()));
            QCOMPARE(missing.openError, 12003);
        }
    }

    // A certificate nobody vouches for is refused, and nothing of the body is delivered.
    void anUntrustedCertificateIsRefused()
    {
        FaultServerPeer secure;
        QVERIFY2(secure.startTls(), qPrintable(secure.errorText()));
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, secure.url(QStringLiteral("/ok/5000")));
        QCOMPARE(result_.openError, 12035);
        QVERIFY(result_.body.isEmpty());
    }

    // A direct session stays direct when the environment names a proxy.
    void aDirectSessionIgnoresTheEnvironmentsProxy()
    {
        const QByteArray dead = QByteArrayLiteral("http://127.0.0.1:") + QByteArray::number(PeerProcess::freePort());
        const Environment proxies { { "http_proxy", dead }, { "HTTP_PROXY", dead }, { "all_proxy", dead } };
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        Fetch result_;
        fetch(result_, session, m_http.baseUrl() + QStringLiteral("f4096.bin"));
        QCOMPARE(result_.openError, 0);
        QVERIFY(result_.body == testBytes(4096));
    }

    // A transfer nobody reads is paused: it holds no more than its buffer.
    void nothingIsBufferedBeyondTheLimit()
    {
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        InternetRequest *request = session.openUrl(m_http.baseUrl() + QStringLiteral("f5242880.bin"), 1);
        request->setBufferLimit(64 * 1024);
        QSignalSpy completions(request, &InternetRequest::completed);
        QTRY_COMPARE(completions.size(), 1);
        QTest::qWait(300);
        QVERIFY(request->read(10 * 1024 * 1024));
        QTRY_COMPARE(completions.size(), 2);
        const auto result = completions.at(1).at(1).value<AsyncResult>();
        QVERIFY(result.data.size() > 0);
        QVERIFY2(
            result.data.size() <= 64 * 1024 + CURL_MAX_WRITE_SIZE, qPrintable(QString::number(result.data.size())));
        request->close();
    }

    // After close() nothing more is reported, whatever was still on its way.
    void closeIsTheLastWord()
    {
        CurlDriver driver;
        InternetSession session(driver, m_settings);
        InternetRequest *request = session.openUrl(m_faults.url(QStringLiteral("/drip/50")), 1);
        QStringList codes;
        connect(
            request, &InternetRequest::status, this, [&codes](quintptr, int code) { codes << QString::number(code); });
        QSignalSpy completions(request, &InternetRequest::completed);
        QPointer<InternetRequest> alive(request);
        QTRY_COMPARE(completions.size(), 1);
        request->read(4096);
        request->close();
        QCOMPARE(codes.last(), QStringLiteral("70"));
        const qsizetype seen = codes.size();
        QTest::qWait(400);
        QCOMPARE(codes.size(), seen);
        QCOMPARE(completions.size(), 1);
        QTRY_VERIFY(!alive);
    }
};

QTEST_GUILESS_MAIN(TestInternetRequest)
#include "tst_internetrequest.moc"
