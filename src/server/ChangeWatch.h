#pragma once

#include <QHash>
#include <QString>

struct inotify_event;

// Tells whether anything it watches on disk has changed, as inotify reports
// it: in a directory, an entry made, removed or renamed, or the directory
// itself given new attributes, moved or removed; a file written, closed after
// writing, given new attributes (its times, rights or number of names),
// moved or removed, through whichever of its names. Only a path on a file
// system that reports every change made to it is watched: on one that others
// can change too (a network share, FUSE) nothing could be promised.
class ChangeWatch
{
public:
    ChangeWatch();
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch &) = delete;
    ChangeWatch &operator=(const ChangeWatch &) = delete;

    // Watches directory: every entry, or only the one named onlyName. False
    // when it cannot be watched.
    bool watchDirectory(const QString &directory, const QString &onlyName = {});
    bool watchFile(const QString &path);
    // Reads what has been reported since the last call; true when something
    // watched has changed. Every watch then ends, since a path watched may
    // now name another file or directory.
    bool takeChanges();

private:
    struct Watch
    {
        QString onlyName; // empty: every entry of a directory, or a file
    };

    bool add(const QString &path, uint32_t events, const QString &onlyName);
    // Whether an event (name: its entry's name, when it has one) tells of a change to something watched.
    bool relevant(const inotify_event &event, const char *name) const;
    void restart();

    int m_inotify = -1;
    QHash<int, Watch> m_watches; // by watch descriptor
    QHash<QString, int> m_byPath;
};
