#include "FakeTree.h"

#include "platform/system/ProcessorFacts.h"
#include "platform/system/UserIdentity.h"

#include <QtTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

class TestSystemFacts : public QObject
{
    Q_OBJECT

private slots:
    void processorTypes_data();
    void processorTypes();
    void thisMachineHasItsType();
    void memoryFromMeminfo_data();
    void memoryFromMeminfo();
    void memoryOfThisMachine();
    void userFromPasswd_data();
    void userFromPasswd();
    void userOfThisProcess();
    void computerName();
};

void TestSystemFacts::processorTypes_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<int>("type");
    QTest::newRow("i386") << u"i386"_s << 386;
    QTest::newRow("i486") << u"i486"_s << 486;
    QTest::newRow("i586") << u"i586"_s << 586;
    QTest::newRow("i686") << u"i686"_s << 586;
    QTest::newRow("x86_64") << u"x86_64"_s << 8664;
    QTest::newRow("ppc") << u"ppc"_s << 601;
    QTest::newRow("powerpc") << u"powerpc"_s << 601;
    QTest::newRow("aarch64") << u"aarch64"_s << 0;
    QTest::newRow("ppc64le is not the 601") << u"ppc64le"_s << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestSystemFacts::processorTypes()
{
    QFETCH(QString, machine);
    QFETCH(int, type);
    QCOMPARE(ProcessorFacts::processorType(machine), type);
}

void TestSystemFacts::thisMachineHasItsType()
{
    QProcess uname;
    uname.start(u"uname"_s, { u"-m"_s });
    QVERIFY(uname.waitForFinished(10000));
    QCOMPARE(ProcessorFacts::machine(), QString::fromUtf8(uname.readAllStandardOutput()).trimmed());
}

void TestSystemFacts::memoryFromMeminfo_data()
{
    QTest::addColumn<QByteArray>("meminfo");
    QTest::addColumn<quint64>("bytes");
    QTest::newRow("64 MB") << QByteArray("MemTotal:          65536 kB\nMemFree:    1000 kB\n") << quint64(67108864);
    QTest::newRow("24 GB") << QByteArray("MemTotal:       25165824 kB\n") << quint64(25769803776ULL);
    QTest::newRow("not first") << QByteArray("MemFree: 5 kB\nMemTotal: 4 kB\n") << quint64(4096);
    QTest::newRow("missing") << QByteArray("MemFree: 5 kB\n") << quint64(0);
    QTest::newRow("damaged") << QByteArray("MemTotal: lots kB\n") << quint64(0);
}

void TestSystemFacts::memoryFromMeminfo()
{
    QFETCH(QByteArray, meminfo);
    QFETCH(quint64, bytes);
    FakeTree tree;
    tree.write(u"/proc/meminfo"_s, meminfo);
    QCOMPARE(ProcessorFacts::totalMemory(tree.root()), bytes);
}

void TestSystemFacts::memoryOfThisMachine()
{
    const quint64 fromKernel = ProcessorFacts::totalMemory();
    const quint64 fromMeminfo = ProcessorFacts::totalMemory(u"/"_s);
    QVERIFY(fromKernel > 0);
    QVERIFY(fromMeminfo > 0);
    // Both report the same memory; meminfo rounds to whole kilobytes.
    const quint64 difference = fromKernel > fromMeminfo ? fromKernel - fromMeminfo : fromMeminfo - fromKernel;
    QVERIFY2(difference <= fromKernel / 100, qPrintable(u"%1 vs %2"_s.arg(fromKernel).arg(fromMeminfo)));
}

void TestSystemFacts::userFromPasswd_data()
{
    QTest::addColumn<uint>("uid");
    QTest::addColumn<QString>("name");
    QTest::newRow("root") << 0u << u"root"_s;
    QTest::newRow("user") << 1000u << u"ana"_s;
    QTest::newRow("uid is not a prefix match") << 100u << QString();
    QTest::newRow("unlisted") << 4242u << QString();
}

void TestSystemFacts::userFromPasswd()
{
    QFETCH(uint, uid);
    QFETCH(QString, name);
    FakeTree tree;
    tree.write(u"/etc/passwd"_s,
        "root:x:0:0:root:/root:/bin/bash\n"
        "broken line\n"
        "ana:x:1000:1000:Ana,,,:/home/ana:/bin/bash\n"
        "nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n");
    QCOMPARE(UserIdentity::userName(tree.root(), uid), name);
}

void TestSystemFacts::userOfThisProcess()
{
    QProcess id;
    id.start(u"id"_s, { u"-un"_s });
    QVERIFY(id.waitForFinished(10000));
    const QString expected = QString::fromUtf8(id.readAllStandardOutput()).trimmed();
    QVERIFY(!expected.isEmpty());
    QCOMPARE(UserIdentity::userName(), expected);
}

void TestSystemFacts::computerName()
{
    FakeTree tree;
    tree.write(u"/proc/sys/kernel/hostname"_s, "radna-stanica\n");
    QCOMPARE(UserIdentity::computerName(tree.root()), u"radna-stanica"_s);
    QCOMPARE(UserIdentity::computerName(FakeTree().root()), QString());

    char name[256] = {};
    QCOMPARE(gethostname(name, sizeof name - 1), 0);
    QCOMPARE(UserIdentity::computerName(), QString::fromLocal8Bit(name));
    QCOMPARE(UserIdentity::computerName(u"/"_s), UserIdentity::computerName());
}

QTEST_GUILESS_MAIN(TestSystemFacts)
#include "tst_systemfacts.moc"
