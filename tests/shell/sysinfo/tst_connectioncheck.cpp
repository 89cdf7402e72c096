#include "platform/system/FakeTree.h"

#include "platform/EngineThread.h"
#include "shell/ConnectionCheckText.h"
#include "shell/InfoBoxEngine.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString field(const QString &text)
{
    return text + QString(32 - text.size(), u' ');
}

const QString Blank = QString(32, u' ');

QByteArray routeTable(const QByteArray &interfaceName)
{
    QByteArray table = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                       "lo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n";
    if (!interfaceName.isEmpty())
        table += interfaceName + "\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    return table;
}

} // namespace

class TestConnectionCheck : public QObject
{
    Q_OBJECT

private slots:
    void speedUnits_data();
    void speedUnits();
    void fromTrees_data();
    void fromTrees();
    void engineHandsOverTheText();
};

void TestConnectionCheck::speedUnits_data()
{
    QTest::addColumn<quint64>("hundreds");
    QTest::addColumn<QString>("text");
    QTest::newRow("28.8k modem") << quint64(288) << field(u"Link Speed: 28800 bps"_s);
    QTest::newRow("one unit") << quint64(1) << field(u"Link Speed: 100 bps"_s);
    QTest::newRow("zero is blank") << quint64(0) << Blank;
    QTest::newRow("10 Gbit/s") << ConnectionCheckText::hundredsOfBps(10000) << field(u"Link Speed: 10000000000 bps"_s);
    QTest::newRow("largest a link reports")
        << ConnectionCheckText::hundredsOfBps(2147483647) << u"Link Speed: 2147483647000000 bps"_s;
}

void TestConnectionCheck::speedUnits()
{
    QFETCH(quint64, hundreds);
    QFETCH(QString, text);
    QCOMPARE(ConnectionCheckText::speedField(hundreds), text);
}

void TestConnectionCheck::fromTrees_data()
{
    QTest::addColumn<QByteArray>("routeInterface");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("speed");
    QTest::newRow("up at 100 Mbit/s") << QByteArray("eth0") << field(u"Status: ON Line"_s)
                                      << field(u"Link Speed: 100000000 bps"_s);
    QTest::newRow("up at 10 Gbit/s") << QByteArray("eth2") << field(u"Status: ON Line"_s)
                                     << field(u"Link Speed: 10000000000 bps"_s);
    QTest::newRow("up, speed unknown") << QByteArray("wlan0") << field(u"Status: ON Line"_s) << Blank;
    QTest::newRow("down") << QByteArray("eth1") << field(u"Status: OFF Line"_s) << Blank;
    QTest::newRow("no default route") << QByteArray() << Blank << Blank;
}

void TestConnectionCheck::fromTrees()
{
    QFETCH(QByteArray, routeInterface);
    QFETCH(QString, status);
    QFETCH(QString, speed);

    FakeTree tree;
    tree.write(u"/proc/net/route"_s, routeTable(routeInterface));
    tree.write(u"/sys/class/net/eth0/operstate"_s, "up\n");
    tree.write(u"/sys/class/net/eth0/speed"_s, "100\n");
    tree.write(u"/sys/class/net/eth1/operstate"_s, "down\n");
    tree.write(u"/sys/class/net/eth1/speed"_s, "1000\n");
    tree.write(u"/sys/class/net/eth2/operstate"_s, "up\n");
    tree.write(u"/sys/class/net/eth2/speed"_s, "10000\n");
    tree.write(u"/sys/class/net/wlan0/operstate"_s, "up\n");
    tree.write(u"/sys/class/net/wlan0/speed"_s, "-1\n");

    const QString text = ConnectionCheckText::text(NetworkLink::read(tree.root()));
    QCOMPARE(text, status + u'|' + speed);
}

void TestConnectionCheck::engineHandsOverTheText()
{
    FakeTree tree;
    tree.write(u"/proc/net/route"_s, routeTable("eth0"));
    tree.write(u"/sys/class/net/eth0/operstate"_s, "up\n");
    tree.write(u"/sys/class/net/eth0/speed"_s, "100\n");

    QThread *gatheredOn = nullptr;
    auto engine = std::make_unique<InfoBoxEngine>([root = tree.root(), &gatheredOn] {
        gatheredOn = QThread::currentThread();
        return ConnectionCheckText::text(NetworkLink::read(root));
    });
    QStringList texts;
    QObject receiver;
    connect(
        engine.get(), &InfoBoxEngine::textReady, &receiver, [&texts](const QString &text) { texts.append(text); },
        Qt::QueuedConnection);
    EngineThread running(std::move(engine), u"Internet veza"_s);
    running.start();
    QTRY_COMPARE_WITH_TIMEOUT(texts.size(), 1, 10000);
    QCOMPARE(texts.first(), field(u"Status: ON Line"_s) + u'|' + field(u"Link Speed: 100000000 bps"_s));
    QCOMPARE(gatheredOn, running.thread());
    // Watchdog: a stop that does not end the thread fails instead of hanging.
    QVERIFY(running.shutdown(std::chrono::seconds(10)));
}

QTEST_GUILESS_MAIN(TestConnectionCheck)
#include "tst_connectioncheck.moc"
