#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace inet {

// A download's local file while it arrives: written beside its target under a
// hidden name that tells what it belongs to, and put in the target's place
// only when complete, so an existing target stays as it was until then. A
// broken download leaves it for a later download of the same thing to
// continue; a partial of the same target that belongs to anything else is
// stale and goes when a new one is opened. Unlike QSaveFile it does not force
// the data to disk on commit, which would cost a large download as much as its
// transfer.
class PartialFile
{
public:
    // identity: what the bytes are (server, remote path, size, date); only a
    // partial of the same identity is ever continued.
    PartialFile(const QString &target, const QByteArray &identity);
    ~PartialFile();
    PartialFile(const PartialFile &) = delete;
    PartialFile &operator=(const PartialFile &) = delete;

    // Opens the partial; with keep, what an earlier download left stays and
    // the new bytes follow it, else it starts empty.
    bool open(bool keep);
    // The bytes an earlier download left, before open().
    qint64 kept() const;
    // The bytes held, those kept included.
    qint64 size() const { return m_size; }
    bool write(const char *data, qint64 size);
    // Closes the file and moves it over the target; false when either fails.
    bool commit();

    QString path() const { return m_part.fileName(); }

private:
    void removeStale() const;

    QString m_target;
    QFile m_part;
    qint64 m_size = 0;
    bool m_committed = false;
};

} // namespace inet
