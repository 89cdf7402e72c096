#include "server/PathMapper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace {

bool lookUp(const QString &path, struct stat &info)
{
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The entry of directory whose name equals name ignoring case, with what lstat
// says of it; an exact match wins. Empty when there is none.
QString findEntry(const QString &directory, const QString &name, struct stat &info)
{
    if (lookUp(directory + name, info))
        return name;
    const QStringList entries
        = QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0 && lookUp(directory + entry, info))
            return entry;
    }
    return {};
}

} // namespace

PathMapper::PathMapper(const QString &servedDirectory)
    : m_root(servedDirectory)
{
    if (!m_root.endsWith(u'/'))
        m_root += u'/';
    m_canonicalRoot = QFileInfo(m_root).canonicalFilePath();
    if (m_canonicalRoot.isEmpty())
        m_canonicalRoot = QDir::cleanPath(m_root);
}

PathMapper::FileStamp PathMapper::stampOf(const struct stat &info)
{
    return { quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
        qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec };
}

bool PathMapper::inside(const QString &canonical) const
{
    if (canonical == m_canonicalRoot)
        return true;
    const QString prefix = m_canonicalRoot.endsWith(u'/') ? m_canonicalRoot : m_canonicalRoot + u'/';
    return canonical.startsWith(prefix);
}

bool PathMapper::leadsInside(const QString &path) const
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && inside(canonical);
}

PathMapper::Result PathMapper::map(const QByteArray &requestPath) const
{
    Result result;
    const QByteArray bytes = QByteArray::fromPercentEncoding(requestPath);
    if (bytes.contains('\0'))
        return result;
    QString path = QString::fromUtf8(bytes);
    path.replace(u'\\', u'/');
    result.decodedPath = u'/' + path;
    if (path.startsWith(u'/') || (path.size() >= 2 && path[1] == u':' && path[0].isLetter())) {
        result.verdict = Verdict::Forbidden;
        return result;
    }
    const QStringList names = path.split(u'/');
    for (const QString &name : names) {
        if (name == u"..") {
            result.verdict = Verdict::Forbidden;
            return result;
        }
    }

    // Walk down from the served directory, taking each name as it is on disk.
    // One lstat a name tells both whether it is there and whether it is a link.
    QString local = m_root;
    bool found = true;
    bool walked = false;
    bool linked = false;
    struct stat last
    {
    };
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        if (name.isEmpty() || name == u".")
            continue;
        walked = true;
        if (found) {
            const QString entry = findEntry(local, name, last);
            found = !entry.isEmpty();
            local += found ? entry : name;
            linked = linked || (found && S_ISLNK(last.st_mode));
        } else {
            local += name;
        }
        if (i != names.size() - 1)
            local += u'/';
    }
    if (path.endsWith(u'/') && !local.endsWith(u'/'))
        local += u'/';
    if (!walked)
        found = lookUp(local, last);

    // Only a symbolic link on the way can lead outside: then the deepest part
    // that exists must stay inside, whatever links it passes. The walk stops at
    // the served directory: when that does not exist, nothing below it does
    // either, and the target is missing rather than refused.
    if (linked) {
        QString existing = local;
        while (existing.size() > m_root.size() && !QFileInfo::exists(existing)) {
            const qsizetype slash = existing.lastIndexOf(u'/', existing.endsWith(u'/') ? -2 : -1);
            existing = slash < 0 ? QString() : existing.left(slash + 1);
        }
        const QString canonical = QFileInfo(existing).canonicalFilePath();
        if (!canonical.isEmpty() && !inside(canonical)) {
            result.verdict = Verdict::Forbidden;
            return result;
        }
        found = found && ::stat(QFile::encodeName(local).constData(), &last) == 0;
    }
    result.localPath = local;
    result.throughLink = linked;
    if (!found)
        result.verdict = Verdict::Missing;
    else if (S_ISDIR(last.st_mode))
        result.verdict = Verdict::Directory;
    else if (S_ISREG(last.st_mode))
        result.verdict = Verdict::File;
    else
        result.verdict = Verdict::Forbidden; // a device, a socket or a fifo is never served
    if (result.verdict == Verdict::File)
        result.stamp = stampOf(last);
    return result;
}
