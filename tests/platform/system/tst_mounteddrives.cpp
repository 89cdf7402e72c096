#include "FakeTree.h"

#include "platform/system/MountedDrive.h"

#include <QtTest>

#include <sys/statvfs.h>

using namespace Qt::StringLiterals;

namespace {

// A desktop's mount table, out of order, with the kernel's pseudo file systems
// and the system's runtime RAM file systems among the drives.
const QByteArray DesktopMounts = R"(sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0
proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0
udev /dev devtmpfs rw,nosuid,relatime,size=8000000k 0 0
devpts /dev/pts devpts rw,nosuid,noexec,relatime 0 0
tmpfs /run tmpfs rw,nosuid,nodev,noexec,relatime,size=1600000k,mode=755 0 0
/dev/sda2 / ext4 rw,relatime,errors=remount-ro 0 0
securityfs /sys/kernel/security securityfs rw,nosuid,nodev,noexec,relatime 0 0
tmpfs /dev/shm tmpfs rw,nosuid,nodev 0 0
cgroup2 /sys/fs/cgroup cgroup2 rw,nosuid,nodev,noexec,relatime 0 0
tmpfs /sys/fs/cgroup/legacy tmpfs rw 0 0
systemd-1 /proc/sys/fs/binfmt_misc autofs rw,relatime 0 0
mqueue /dev/mqueue mqueue rw,relatime 0 0
debugfs /sys/kernel/debug debugfs rw,relatime 0 0
/dev/sda1 /boot/efi vfat rw,relatime 0 0
/dev/disk/by-uuid/1234-ABCD /home ext4 rw,relatime 0 0
tmpfs /tmp tmpfs rw,nosuid,nodev 0 0
nas:/export/media /mnt/nas nfs4 rw,relatime,vers=4.2 0 0
//files/share /mnt/share cifs rw,relatime 0 0
/dev/sr0 /media/cdrom iso9660 ro,nosuid,nodev 0 0
/dev/sdb1 /media/USB\040STICK vfat rw,nosuid,nodev 0 0
tmpfs /run/user/1000 tmpfs rw,nosuid,nodev,relatime,mode=700 0 0
/dev/sdc1 /mnt/gone ext4 rw,relatime 0 0
ramfs /mnt/ram ramfs rw,relatime 0 0
overlay /var/lib/containers/root overlay rw,relatime,lowerdir=/l,upperdir=/u,workdir=/w 0 0
)";

quint32 fileSystemId(const QString &path)
{
    struct statvfs volume
    {
    };
    if (statvfs(QFile::encodeName(path).constData(), &volume) != 0)
        return 0;
    return quint32(volume.f_fsid & 0xffffffffu);
}

} // namespace

class TestMountedDrives : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drivesInMountPointOrder();
    void typeCodes_data();
    void typeCodes();
    void labelsFollowTheDeviceLinks();
    void serialIsTheFileSystemId();
    void vanishedMountPointHasNoVolume();
    void laterMountHidesEarlier();
    void missingTableGivesNoDrives();
    void rootWithoutItsOwnMountIsListed();
    void realTableHasTheRoot();

private:
    const MountedDrive *drive(const QString &mountPoint) const;

    FakeTree m_tree;
    QList<MountedDrive> m_drives;
};

void TestMountedDrives::initTestCase()
{
    m_tree.write(u"/proc/self/mounts"_s, DesktopMounts);
    const QStringList mountPoints { u"/"_s, u"/boot/efi"_s, u"/home"_s, u"/tmp"_s, u"/mnt/nas"_s, u"/mnt/share"_s,
        u"/media/cdrom"_s, u"/media/USB STICK"_s, u"/mnt/ram"_s, u"/var/lib/containers/root"_s, u"/run/user/1000"_s,
        u"/dev/shm"_s };
    for (const QString &point : mountPoints)
        m_tree.makeDirectory(point);
    // /mnt/gone is left out of the tree: its mount point no longer exists.

    // Block devices as sysfs shows them: disks with their partitions beneath.
    m_tree.write(u"/sys/block/sda/removable"_s, "0\n");
    m_tree.makeDirectory(u"/sys/block/sda/sda1"_s);
    m_tree.makeDirectory(u"/sys/block/sda/sda2"_s);
    m_tree.makeDirectory(u"/sys/block/sda/sda3"_s);
    m_tree.write(u"/sys/block/sdb/removable"_s, "1\n");
    m_tree.makeDirectory(u"/sys/block/sdb/sdb1"_s);
    m_tree.write(u"/sys/block/sr0/removable"_s, "1\n");
    m_tree.write(u"/sys/block/sdc/removable"_s, "0\n");

    // Device nodes and udev's links.
    for (const QString &node : { u"/dev/sda1"_s, u"/dev/sda2"_s, u"/dev/sda3"_s, u"/dev/sdb1"_s, u"/dev/sr0"_s })
        m_tree.write(node, {});
    m_tree.link(u"/dev/disk/by-uuid/1234-ABCD"_s, u"../../sda3"_s);
    m_tree.link(u"/dev/disk/by-label/EFI"_s, u"../../sda1"_s);
    m_tree.link(u"/dev/disk/by-label/home"_s, u"../../sda3"_s);
    m_tree.link(u"/dev/disk/by-label/USB\\x20STICK"_s, u"../../sdb1"_s);
    m_tree.link(u"/dev/disk/by-label/DEBIAN_12"_s, u"../../sr0"_s);
    m_tree.link(u"/dev/disk/by-label/old"_s, u"../../sdc1"_s);

    m_drives = MountedDrive::read(m_tree.root());
}

const MountedDrive *TestMountedDrives::drive(const QString &mountPoint) const
{
    for (const MountedDrive &drive : m_drives) {
        if (drive.mountPoint == mountPoint)
            return &drive;
    }
    return nullptr;
}

void TestMountedDrives::drivesInMountPointOrder()
{
    QStringList mountPoints;
    for (const MountedDrive &drive : m_drives)
        mountPoints.append(drive.mountPoint);
    // Kernel interfaces (/proc, /sys, devpts, mqueue, autofs ...) and the
    // runtime RAM file systems under /dev and /run are not drives.
    const QStringList expected { u"/"_s, u"/boot/efi"_s, u"/home"_s, u"/media/USB STICK"_s, u"/media/cdrom"_s,
        u"/mnt/gone"_s, u"/mnt/nas"_s, u"/mnt/ram"_s, u"/mnt/share"_s, u"/tmp"_s, u"/var/lib/containers/root"_s };
    QCOMPARE(mountPoints, expected);
}

void TestMountedDrives::typeCodes_data()
{
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<int>("type");

    QTest::newRow("disk partition") << u"/"_s << int(MountedDrive::Fixed);
    QTest::newRow("partition through a uuid link") << u"/home"_s << int(MountedDrive::Fixed);
    QTest::newRow("container root") << u"/var/lib/containers/root"_s << int(MountedDrive::Fixed);
    QTest::newRow("usb stick") << u"/media/USB STICK"_s << int(MountedDrive::Removable);
    QTest::newRow("nfs") << u"/mnt/nas"_s << int(MountedDrive::Network);
    QTest::newRow("cifs") << u"/mnt/share"_s << int(MountedDrive::Network);
    QTest::newRow("cd on a removable drive") << u"/media/cdrom"_s << int(MountedDrive::CdRom);
    QTest::newRow("tmpfs") << u"/tmp"_s << int(MountedDrive::RamDisk);
    QTest::newRow("ramfs") << u"/mnt/ram"_s << int(MountedDrive::RamDisk);
    QTest::newRow("vanished mount point") << u"/mnt/gone"_s << int(MountedDrive::NoRoot);
}

void TestMountedDrives::typeCodes()
{
    QFETCH(QString, mountPoint);
    QFETCH(int, type);
    const MountedDrive *found = drive(mountPoint);
    QVERIFY2(found, qPrintable(mountPoint));
    QCOMPARE(int(found->type), type);
}

void TestMountedDrives::labelsFollowTheDeviceLinks()
{
    QCOMPARE(drive(u"/boot/efi"_s)->label, u"EFI"_s);
    QCOMPARE(drive(u"/home"_s)->label, u"home"_s);
    QCOMPARE(drive(u"/media/USB STICK"_s)->label, u"USB STICK"_s);
    QCOMPARE(drive(u"/media/cdrom"_s)->label, u"DEBIAN_12"_s);
    QCOMPARE(drive(u"/"_s)->label, QString());
    QCOMPARE(drive(u"/mnt/nas"_s)->label, QString());
}

void TestMountedDrives::serialIsTheFileSystemId()
{
    const quint32 expected = fileSystemId(m_tree.root());
    QVERIFY(expected != 0);
    // Every mount point of the fake tree lies on the file system of the temporary directory.
    QCOMPARE(drive(u"/"_s)->serial, expected);
    QCOMPARE(drive(u"/media/USB STICK"_s)->serial, expected);
}

void TestMountedDrives::vanishedMountPointHasNoVolume()
{
    const MountedDrive *gone = drive(u"/mnt/gone"_s);
    QVERIFY(gone);
    // The device still has a label link, but without its volume nothing of it is shown.
    QCOMPARE(gone->label, QString());
    QCOMPARE(gone->serial, 0u);
}

void TestMountedDrives::laterMountHidesEarlier()
{
    FakeTree tree;
    tree.makeDirectory(u"/data"_s);
    tree.write(u"/proc/self/mounts"_s,
        "/dev/sda1 /data ext4 rw 0 0\n"
        "nas:/x /data nfs rw 0 0\n");
    const QList<MountedDrive> drives = MountedDrive::read(tree.root());
    QCOMPARE(drives.size(), 2); // the root and /data once
    QCOMPARE(drives.last().mountPoint, u"/data"_s);
    QCOMPARE(drives.last().fileSystem, u"nfs"_s);
    QCOMPARE(int(drives.last().type), int(MountedDrive::Network));
}

void TestMountedDrives::missingTableGivesNoDrives()
{
    FakeTree tree;
    QVERIFY(MountedDrive::read(tree.root()).isEmpty());
}

void TestMountedDrives::rootWithoutItsOwnMountIsListed()
{
    // A chroot's table shows only what was bound into it.
    FakeTree tree;
    tree.write(u"/proc/self/mounts"_s,
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /data ext4 rw 0 0\n");
    tree.makeDirectory(u"/data"_s);
    const QList<MountedDrive> drives = MountedDrive::read(tree.root());
    QCOMPARE(drives.size(), 2);
    QCOMPARE(drives.at(0).mountPoint, u"/"_s);
    QCOMPARE(int(drives.at(0).type), int(MountedDrive::Fixed));
    QCOMPARE(drives.at(0).serial, fileSystemId(tree.root()));
    QCOMPARE(drives.at(1).mountPoint, u"/data"_s);
}

void TestMountedDrives::realTableHasTheRoot()
{
    const QList<MountedDrive> drives = MountedDrive::read(u"/"_s);
    QVERIFY(!drives.isEmpty());
    QCOMPARE(drives.first().mountPoint, u"/"_s);
    QCOMPARE(drives.first().serial, fileSystemId(u"/"_s));
    for (const MountedDrive &drive : drives)
        QVERIFY2(
            !drive.mountPoint.startsWith(u"/proc"_s) && drive.fileSystem != u"cgroup"_s, qPrintable(drive.mountPoint));
}

QTEST_GUILESS_MAIN(TestMountedDrives)
#include "tst_mounteddrives.moc"
