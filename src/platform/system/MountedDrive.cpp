#include "platform/system/MountedDrive.h"

#include "platform/system/SystemRoot.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/statvfs.h>

#include <cctype>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// Kernel interfaces and automount plumbing: nothing a user keeps files on.
bool isPseudo(const QString &fileSystem)
{
    static const QSet<QString> pseudo {
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("devpts"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("securityfs"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("pstore"),
        QStringLiteral("bpf"),
        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("configfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("autofs"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("efivarfs"),
        QStringLiteral("selinuxfs"),
        QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),
        QStringLiteral("nfsd"),
        QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"),
    };
    return pseudo.contains(fileSystem);
}

bool isUnder(const QString &path, const QString &directory)
{
    return path == directory || path.startsWith(directory + u'/');
}

// /proc and /sys hold only kernel interfaces; the RAM file systems under /dev
// and /run are the system's own runtime state (/dev/shm, /run/lock, /run/user/N),
// while a tmpfs such as /tmp is a RAM disk the user works on.
bool isSystemRuntime(const MountedDrive &drive)
{
    const QString &at = drive.mountPoint;
    if (isUnder(at, QStringLiteral("/proc")) || isUnder(at, QStringLiteral("/sys")))
        return true;
    const bool ramFileSystem = drive.fileSystem == u"tmpfs"_s || drive.fileSystem == u"ramfs"_s;
    return ramFileSystem && (isUnder(at, QStringLiteral("/dev")) || isUnder(at, QStringLiteral("/run")));
}

bool isNetwork(const QString &fileSystem)
{
    static const QSet<QString> network {
        QStringLiteral("nfs"),
        QStringLiteral("nfs4"),
        QStringLiteral("cifs"),
        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),
        QStringLiteral("sshfs"),
        QStringLiteral("fuse.sshfs"),
        QStringLiteral("9p"),
        QStringLiteral("ceph"),
        QStringLiteral("davfs"),
        QStringLiteral("fuse.davfs2"),
    };
    return network.contains(fileSystem);
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// The mount table writes blank, tab, new line and backslash as octal escapes
// ("\040").
QString unescape(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size() && isOctal(field.at(i + 1)) && isOctal(field.at(i + 2))
            && isOctal(field.at(i + 3))) {
            out.append(char(field.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
            continue;
        }
        out.append(field.at(i));
    }
    return QString::fromUtf8(out);
}

// udev writes the unsafe characters of a label as "\xHH".
QString unescapeLabel(const QString &name)
{
    const QByteArray bytes = name.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i + 3 < bytes.size() && bytes.at(i) == '\\' && bytes.at(i + 1) == 'x'
            && std::isxdigit(uchar(bytes.at(i + 2))) && std::isxdigit(uchar(bytes.at(i + 3)))) {
            out.append(char(bytes.mid(i + 2, 2).toInt(nullptr, 16)));
            i += 3;
            continue;
        }
        out.append(bytes.at(i));
    }
    return QString::fromUtf8(out);
}

// The kernel's name of a device node ("sda1"), following udev's links
// (/dev/disk/by-uuid/..., /dev/mapper/...).
QString kernelName(const QString &root, const QString &device)
{
    const QFileInfo node(SystemRoot::under(root, device));
    const QString resolved = node.canonicalFilePath();
    if (!resolved.isEmpty())
        return QFileInfo(resolved).fileName();
    return node.isSymLink() ? QFileInfo(node.symLinkTarget()).fileName() : node.fileName();
}

// A whole disk carries its own removable mark; a partition its disk's.
bool isRemovable(const QString &root, const QString &name)
{
    const QString blocks = SystemRoot::under(root, QStringLiteral("/sys/block"));
    const auto markOf = [](const QString &disk) { return SystemRoot::readFirstLine(disk + u"/removable") == u"1"; };
    if (QFileInfo::exists(blocks + u'/' + name))
        return markOf(blocks + u'/' + name);
    const QStringList disks = QDir(blocks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &disk : disks) {
        if (QFileInfo::exists(blocks + u'/' + disk + u'/' + name))
            return markOf(blocks + u'/' + disk);
    }
    return false;
}

QString labelOf(const QString &root, const QString &name)
{
    const QDir labels(SystemRoot::under(root, QStringLiteral("/dev/disk/by-label")));
    const QStringList entries = labels.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        const QFileInfo link(labels.filePath(entry));
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).fileName() == name)
            return unescapeLabel(entry);
    }
    return {};
}

MountedDrive::Type typeOf(const QString &root, const MountedDrive &drive, const QString &name)
{
    const QString &fs = drive.fileSystem;
    if (fs == u"iso9660"_s || fs == u"udf"_s)
        return MountedDrive::CdRom;
    if (fs == u"tmpfs"_s || fs == u"ramfs"_s)
        return MountedDrive::RamDisk;
    if (isNetwork(fs))
        return MountedDrive::Network;
    if (!name.isEmpty() && isRemovable(root, name))
        return MountedDrive::Removable;
    return MountedDrive::Fixed;
}

} // namespace

QList<MountedDrive> MountedDrive::read(const QString &root)
{
    const QByteArray table = SystemRoot::readFile(SystemRoot::under(root, QStringLiteral("/proc/self/mounts")));
    std::map<QString, MountedDrive> byMountPoint;
    for (const QByteArray &line : table.split('\n')) {
        const QByteArrayList fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        MountedDrive drive;
        drive.device = unescape(fields.at(0));
        drive.mountPoint = unescape(fields.at(1));
        drive.fileSystem = unescape(fields.at(2));
        if (!drive.mountPoint.startsWith(u'/') || isPseudo(drive.fileSystem) || isSystemRuntime(drive))
            continue;
        byMountPoint[drive.mountPoint] = drive;
    }
    // Inside a chroot the process's root is no mount of its own, yet it holds
    // a file system like any other: it is listed all the same.
    if (!table.isEmpty() && !byMountPoint.contains(QStringLiteral("/")))
        byMountPoint[QStringLiteral("/")].mountPoint = QStringLiteral("/");

    QList<MountedDrive> drives;
    for (auto &[mountPoint, drive] : byMountPoint) {
        const QString path = SystemRoot::under(root, mountPoint);
        struct statvfs volume
        {
        };
        if (!QFileInfo(path).isDir()) {
            drive.type = NoRoot;
        } else {
            const QString name = drive.device.startsWith(u'/') ? kernelName(root, drive.device) : QString();
            drive.type = typeOf(root, drive, name);
            if (statvfs(QFile::encodeName(path).constData(), &volume) == 0) {
                drive.serial = quint32(volume.f_fsid & 0xffffffffu);
                drive.label = name.isEmpty() ? QString() : labelOf(root, name);
            }
        }
        drives.append(drive);
    }
    return drives;
}
