#pragma once

#include "server/ChangeWatch.h"
#include "server/OpenFiles.h"
#include "server/PathMapper.h"

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <memory>

// The walks to the files that requests asked for lately, with the files open
// and their content types: a file asked for again costs no walk, no stat and
// no open while nothing on its way has changed. The way is the file, every
// directory the walk went through, and each step of the served directory's
// own path; a change anywhere on a way forgets every walk. A walk through a
// symbolic link, whose target lies off the way, is never kept.
class WalkCache
{
public:
    static constexpr qsizetype Capacity = OpenFiles::Capacity;
    using Clock = OpenFiles::Clock;

    struct Walk
    {
        std::shared_ptr<const OpenFiles::File> file;
        QByteArray type;
        Clock::time_point used;
    };

    explicit WalkCache(const PathMapper &mapper);

    // Takes in every change reported so far: a walk found afterwards holds
    // for every request read before the call.
    void catchUp();
    // The walk kept for a request path; null when there is none.
    const Walk *find(const QByteArray &requestPath);
    // Keeps the walk that found file (opened as the walk found it) for
    // requestPath, if its way can be watched and a second walk, made once it
    // is, finds the same.
    void keep(const QByteArray &requestPath, const PathMapper::Result &mapped,
        const std::shared_ptr<const OpenFiles::File> &file, const QByteArray &type);
    // Forgets the walks no answer has used since limit, and so closes their files.
    void forgetUnused(Clock::time_point now, std::chrono::milliseconds limit);

private:
    bool watchWay(const QString &localPath);

    const PathMapper &m_mapper;
    ChangeWatch m_watch;
    QHash<QByteArray, Walk> m_walks;
};
