#include "server/ChangeWatch.h"

#include <QFile>

#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A file's contents come straight from it; what it is watched for are the
// changes that alter its length, its time or its readability.
constexpr uint32_t FileChanges = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
// The entries' own writes are their watches' business, so a busy log file
// beside a served one does not count.
constexpr uint32_t DirectoryChanges
    = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr long ZfsMagic = 0x2fc12fc1; // ZFS lives outside the kernel's list

// Local file systems, whose every change passes through this kernel and so
// reaches inotify.
bool reportsEveryChange(long type)
{
    switch (type) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
    case SQUASHFS_MAGIC:
    case ISOFS_SUPER_MAGIC:
    case ZfsMagic:
        return true;
    default:
        return false;
    }
}

} // namespace

ChangeWatch::ChangeWatch()
    : m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{ }

ChangeWatch::~ChangeWatch()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
}

bool ChangeWatch::watchDirectory(const QString &directory, const QString &onlyName)
{
    return add(directory, DirectoryChanges, onlyName);
}

bool ChangeWatch::watchFile(const QString &path)
{
    return add(path, FileChanges, {});
}

bool ChangeWatch::add(const QString &path, uint32_t events, const QString &onlyName)
{
    if (m_inotify < 0)
        return false;
    const auto known = m_byPath.constFind(path);
    if (known != m_byPath.cend())
        return m_watches.value(*known).onlyName == onlyName;
    const QByteArray encoded = QFile::encodeName(path);
    struct statfs system
    {
    };
    if (::statfs(encoded.constData(), &system) != 0 || !reportsEveryChange(long(system.f_type)))
        return false;
    const int descriptor = ::inotify_add_watch(m_inotify, encoded.constData(), events);
    // One thing reached by two paths: its reports could not tell which was meant.
    if (descriptor < 0 || m_watches.contains(descriptor))
        return false;
    m_watches.insert(descriptor, { onlyName });
    m_byPath.insert(path, descriptor);
    return true;
}

bool ChangeWatch::takeChanges()
{
    if (m_inotify < 0)
        return false;
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t count = ::read(m_inotify, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            break;
        if (count <= 0) {
            // Reports that cannot be read may have told anything.
            changed = true;
            break;
        }
        for (ssize_t at = 0; at < count;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            changed = changed || relevant(event, buffer + at + sizeof event);
            at += ssize_t(sizeof event + event.len);
        }
    }
    if (changed)
        restart();
    return changed;
}

bool ChangeWatch::relevant(const inotify_event &event, const char *name) const
{
    const auto watch = m_watches.constFind(event.wd);
    // Lost reports (an overflow), an ended watch, or the watched thing itself.
    if (watch == m_watches.cend() || event.len == 0)
        return true;
    if (event.mask & IN_ATTRIB)
        return false;
    return watch->onlyName.isEmpty() || QFile::decodeName(name) == watch->onlyName;
}

void ChangeWatch::restart()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_watches.clear();
    m_byPath.clear();
}
