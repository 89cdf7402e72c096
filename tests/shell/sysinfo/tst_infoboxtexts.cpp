#include "platform/system/FakeTree.h"

#include "shell/InfoBoxTexts.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

MountedDrive drive(const QString &mountPoint, MountedDrive::Type type, const QString &label, quint32 serial)
{
    MountedDrive drive;
    drive.mountPoint = mountPoint;
    drive.type = type;
    drive.label = label;
    drive.serial = serial;
    return drive;
}

QString blanks(int count)
{
    return QString(count, u' ');
}

} // namespace

class TestInfoBoxTexts : public QObject
{
    Q_OBJECT

private slots:
    void userText_data();
    void userText();
    void processorText_data();
    void processorText();
    void memoryLine_data();
    void memoryLine();
    void driveTypeTexts_data();
    void driveTypeTexts();
    void drivesText();
    void drivesFromMountTable();
    void noDrives();
    void thisComputer();
};

void TestInfoBoxTexts::userText_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<QString>("text");
    QTest::newRow("both") << u"ana"_s << u"radna"_s << u" User: ana| Computer: radna"_s;
    QTest::newRow("trailing blanks clipped") << u"ana  "_s << u"radna "_s << u" User: ana| Computer: radna"_s;
    QTest::newRow("failed queries give empty names") << QString() << QString() << u" User: | Computer: "_s;
}

void TestInfoBoxTexts::userText()
{
    QFETCH(QString, user);
    QFETCH(QString, computer);
    QFETCH(QString, text);
    QCOMPARE(InfoBoxTexts::userText(user, computer), text);
}

void TestInfoBoxTexts::processorText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("vendor");
    QTest::newRow("386") << 386 << u"Intel"_s;
    QTest::newRow("486") << 486 << u"Intel"_s;
    QTest::newRow("586") << 586 << u"Intel"_s;
    QTest::newRow("601") << 601 << u"IBM"_s;
    QTest::newRow("8664") << 8664 << u"Unknown"_s;
    QTest::newRow("unknown machine") << 0 << u"Unknown"_s;
    QTest::newRow("any other") << 2200 << u"Unknown"_s;
}

void TestInfoBoxTexts::processorText()
{
    QFETCH(int, type);
    QFETCH(QString, vendor);
    // The vendor stands in its 32-character field, blanks and all.
    const QString field = vendor + blanks(32 - vendor.size());
    QCOMPARE(InfoBoxTexts::vendorField(type), field);
    QCOMPARE(InfoBoxTexts::processorText(type, 67108864),
        u" Processor: "_s + field + u"| Type: "_s + QString::number(type) + u"| Memory: 65 Mb"_s);
}

void TestInfoBoxTexts::memoryLine_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("64 MB") << quint64(67108864) << u" Memory: 65 Mb"_s;
    QTest::newRow("just under one unit") << quint64(1023999) << u" Memory: 0 Mb"_s;
    QTest::newRow("one unit") << quint64(1024000) << u" Memory: 1 Mb"_s;
    QTest::newRow("2 GB") << quint64(2147483648ULL) << u" Memory: 2097 Mb"_s;
    QTest::newRow("4 GB") << quint64(4294967296ULL) << u" Memory: 4194 Mb"_s;
    QTest::newRow("24 GB") << quint64(25769803776ULL) << u" Memory: 25165 Mb"_s;
    QTest::newRow("1 TB") << quint64(1099511627776ULL) << u" Memory: 1073741 Mb"_s;
}

void TestInfoBoxTexts::memoryLine()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, line);
    const QStringList lines = InfoBoxTexts::processorText(586, bytes).split(u'|');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), u" Type: 586"_s);
    QCOMPARE(lines.at(2), line);
}

void TestInfoBoxTexts::driveTypeTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << u"Not Known"_s;
    QTest::newRow("1") << 1 << u"Not Know"_s;
    QTest::newRow("2") << 2 << u"Removable"_s;
    QTest::newRow("3") << 3 << u"Fixed"_s;
    QTest::newRow("4") << 4 << u"Network"_s;
    QTest::newRow("5") << 5 << u"CDROM"_s;
    QTest::newRow("6") << 6 << u"Ramdisk"_s;
    QTest::newRow("out of range") << 7 << u"Not Known"_s;
    QTest::newRow("negative") << -1 << u"Not Known"_s;
}

void TestInfoBoxTexts::driveTypeTexts()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QCOMPARE(InfoBoxTexts::driveTypeText(type), text);
    QCOMPARE(InfoBoxTexts::drivesText({ drive(u"/x"_s, MountedDrive::Type(type), u"L"_s, 7) }),
        u"/x "_s + text + u" L 7|"_s);
}

void TestInfoBoxTexts::drivesText()
{
    const QList<MountedDrive> drives { drive(u"/"_s, MountedDrive::Fixed, u"root"_s, 4294967295u),
        drive(u"/media/usb"_s, MountedDrive::Removable, {}, 0), drive(u"/mnt/gone"_s, MountedDrive::NoRoot, {}, 0),
        drive(u"/tmp"_s, MountedDrive::RamDisk, u"scratch  "_s, 12) };
    const QString text = InfoBoxTexts::drivesText(drives);
    QCOMPARE(text, u"/ Fixed root 4294967295|/media/usb Removable  0|/mnt/gone Not Know  0|/tmp Ramdisk scratch 12|"_s);
    const QStringList lines = text.split(u'|');
    QCOMPARE(lines.size(), drives.size() + 1);
    QCOMPARE(lines.last(), QString());
}

void TestInfoBoxTexts::drivesFromMountTable()
{
    FakeTree tree;
    tree.write(u"/proc/self/mounts"_s,
        "/dev/vdb /srv ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/vda / ext4 rw 0 0\n"
        "/dev/sr0 /media/cd iso9660 ro 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n");
    tree.makeDirectory(u"/srv"_s);
    tree.makeDirectory(u"/media/cd"_s);
    tree.link(u"/dev/disk/by-label/data"_s, u"../../vdb"_s);
    const QString serial = QString::number(MountedDrive::read(tree.root()).value(0).serial);
    QVERIFY(serial != u"0"_s);
    QCOMPARE(InfoBoxTexts::currentDrivesText(tree.root()),
        u"/ Fixed  "_s + serial + u"|/media/cd CDROM  "_s + serial + u"|/srv Fixed data "_s + serial + u"|"_s);
}

void TestInfoBoxTexts::noDrives()
{
    QCOMPARE(InfoBoxTexts::drivesText({}), QString());
}

void TestInfoBoxTexts::thisComputer()
{
    QVERIFY(InfoBoxTexts::currentUserText().startsWith(u" User: "_s));
    QVERIFY(!InfoBoxTexts::currentUserText().startsWith(u" User: |"_s));
    const QStringList cpu = InfoBoxTexts::currentProcessorText().split(u'|');
    QCOMPARE(cpu.size(), 3);
    QVERIFY(!cpu.at(2).startsWith(u" Memory: 0 "_s));
}

QTEST_GUILESS_MAIN(TestInfoBoxTexts)
#include "tst_infoboxtexts.moc"
