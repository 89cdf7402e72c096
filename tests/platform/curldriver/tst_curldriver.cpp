#include "common/LighttpdPeer.h"
#include "platform/inet/CurlDriver.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fetch
{
    CURL *easy = curl_easy_init();
    QByteArray body;
    std::optional<CURLcode> result;

    explicit Fetch(const QString &url)
    {
        curl_easy_setopt(easy, CURLOPT_URL, url.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Fetch::collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    }
    ~Fetch() { curl_easy_cleanup(easy); }

    static size_t collect(char *data, size_t, size_t count, void *self)
    {
        static_cast<Fetch *>(self)->body.append(data, qsizetype(count));
        return count;
    }
    long newConnections() const
    {
        long count = -1;
        curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &count);
        return count;
    }
};

} // namespace

class TestCurlDriver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QFile file(m_root.filePath(QStringLiteral("data.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 100000; ++i)
            file.write(QByteArray::number(i) + '\n');
        file.close();
        QVERIFY2(m_server.start(m_root.path()), qPrintable(m_server.errorText()));
    }

    // Transfers on one driver share its connection cache: the second request to the
    // same server goes over the kept-alive connection of the first.
    void consecutiveRequestsReuseTheConnection()
    {
        CurlDriver driver;
        const QString url = m_server.baseUrl() + QStringLiteral("data.bin");
        QFile file(m_root.filePath(QStringLiteral("data.bin")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray expected = file.readAll();

        Fetch first(url);
        QVERIFY(driver.add(first.easy, [&](CURLcode code) { first.result = code; }));
        QTRY_VERIFY_WITH_TIMEOUT(first.result.has_value(), 10000);
        QCOMPARE(*first.result, CURLE_OK);
        QCOMPARE(first.body, expected);
        QCOMPARE(first.newConnections(), 1L);

        Fetch second(url);
        QVERIFY(driver.add(second.easy, [&](CURLcode code) { second.result = code; }));
        QTRY_VERIFY_WITH_TIMEOUT(second.result.has_value(), 10000);
        QCOMPARE(*second.result, CURLE_OK);
        QCOMPARE(second.body, expected);
        QCOMPARE(second.newConnections(), 0L);
    }

    // Many transfers at once all end, each with its own body.
    void parallelTransfersAllComplete()
    {
        CurlDriver driver;
        std::vector<std::unique_ptr<Fetch>> fetches;
        int finished = 0;
        for (int i = 0; i < 20; ++i) {
            fetches.push_back(std::make_unique<Fetch>(m_server.baseUrl() + QStringLiteral("data.bin")));
            Fetch *fetch = fetches.back().get();
            QVERIFY(driver.add(fetch->easy, [fetch, &finished](CURLcode code) {
                fetch->result = code;
                ++finished;
            }));
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished, 20, 20000);
        for (const auto &fetch : fetches) {
            QCOMPARE(*fetch->result, CURLE_OK);
            QCOMPARE(fetch->body.size(), fetches.front()->body.size());
        }
    }

    // A removed transfer never reports completion, and the driver goes on working.
    void removedTransferNeverCompletes()
    {
        CurlDriver driver;
        Fetch removed(m_server.baseUrl() + QStringLiteral("data.bin"));
        bool called = false;
        QVERIFY(driver.add(removed.easy, [&](CURLcode) { called = true; }));
        driver.remove(removed.easy);
        QVERIFY(!driver.contains(removed.easy));

        Fetch next(m_server.baseUrl() + QStringLiteral("data.bin"));
        QVERIFY(driver.add(next.easy, [&](CURLcode code) { next.result = code; }));
        QTRY_VERIFY_WITH_TIMEOUT(next.result.has_value(), 10000);
        QCOMPARE(*next.result, CURLE_OK);
        QVERIFY(!called);
    }

    void refusedConnectionCompletesWithAnError()
    {
        CurlDriver driver;
        const quint16 closedPort = PeerProcess::freePort();
        Fetch refused(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort));
        QVERIFY(driver.add(refused.easy, [&](CURLcode code) { refused.result = code; }));
        QTRY_VERIFY_WITH_TIMEOUT(refused.result.has_value(), 10000);
        QCOMPARE(*refused.result, CURLE_COULDNT_CONNECT);
    }

private:
    using CurlDriver = inet::CurlDriver;
    QTemporaryDir m_root;
    LighttpdPeer m_server;
};

QTEST_GUILESS_MAIN(TestCurlDriver)
#include "tst_curldriver.moc"
