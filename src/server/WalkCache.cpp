#include "server/WalkCache.h"

#include <QStringList>

namespace {

QString entryPath(const QString &directory, const QString &name)
{
    return directory.endsWith(u'/') ? QString(directory + name) : QString(directory + u'/' + name);
}

} // namespace

WalkCache::WalkCache(const PathMapper &mapper)
    : m_mapper(mapper)
{ }

void WalkCache::catchUp()
{
    // With nothing kept, what was reported can wait: it can only forget walks kept later.
    if (!m_walks.isEmpty() && m_watch.takeChanges())
        m_walks.clear();
}

const WalkCache::Walk *WalkCache::find(const QByteArray &requestPath)
{
    const auto known = m_walks.find(requestPath);
    if (known == m_walks.end())
        return nullptr;
    known->used = Clock::now();
    return &*known;
}

void WalkCache::keep(const QByteArray &requestPath, const PathMapper::Result &mapped,
    const std::shared_ptr<const OpenFiles::File> &file, const QByteArray &type)
{
    if (mapped.throughLink || !watchWay(mapped.localPath))
        return;
    // A change between the first walk and the watch would go unseen; one before this walk shows in it.
    const PathMapper::Result again = m_mapper.map(requestPath);
    if (again.verdict != PathMapper::Verdict::File || again.throughLink || again.localPath != mapped.localPath
        || again.stamp != file->stamp)
        return;
    if (m_walks.size() >= Capacity && !m_walks.contains(requestPath))
        m_walks.erase(m_walks.begin());
    m_walks.insert(requestPath, { file, type, Clock::now() });
}

void WalkCache::forgetUnused(Clock::time_point now, std::chrono::milliseconds limit)
{
    for (auto walk = m_walks.begin(); walk != m_walks.end();) {
        if (now - walk->used >= limit)
            walk = m_walks.erase(walk);
        else
            ++walk;
    }
}

bool WalkCache::watchWay(const QString &localPath)
{
    const QString root = m_mapper.servedDirectory();
    if (!root.startsWith(u'/') || !localPath.startsWith(root))
        return false;
    // Each step of the served directory's path: only the entry it takes matters there.
    QString directory = QStringLiteral("/");
    const QStringList steps = root.split(u'/', Qt::SkipEmptyParts);
    for (const QString &step : steps) {
        if (step == u"." || step == u".." || !m_watch.watchDirectory(directory, step))
            return false;
        directory = entryPath(directory, step);
    }
    // Below it, every directory the walk entered, with all of their entries, and the file.
    QStringList names = localPath.sliced(root.size()).split(u'/');
    names.removeLast();
    if (!m_watch.watchDirectory(directory))
        return false;
    for (const QString &name : std::as_const(names)) {
        directory = entryPath(directory, name);
        if (!m_watch.watchDirectory(directory))
            return false;
    }
    return m_watch.watchFile(localPath);
}
