#pragma once

#include "server/PathMapper.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <chrono>
#include <memory>

// The files the server answers with, kept open between answers: a file asked
// for again is not opened anew while the walk to it finds it unchanged (the
// same file, size and time of its last change). At most a few dozen stay
// open, and none for long unused, so a deleted file's space is given back.
class OpenFiles
{
public:
    static constexpr qsizetype Capacity = 64;
    using Clock = std::chrono::steady_clock;

    struct File
    {
        File() = default;
        ~File();
        File(const File &) = delete;
        File &operator=(const File &) = delete;

        int descriptor = -1;
        PathMapper::FileStamp stamp;
        QDateTime modified; // UTC, to the second
        QByteArray lastModified; // as the Last-Modified field writes it
    };

    // The open file at path, as the walk found it; null when it cannot be opened.
    std::shared_ptr<const File> open(const QString &path, const PathMapper::FileStamp &found);
    // Closes the files no answer has used since limit.
    void closeUnused(Clock::time_point now, std::chrono::milliseconds limit);

private:
    struct Entry
    {
        std::shared_ptr<const File> file;
        Clock::time_point used;
    };

    QHash<QString, Entry> m_files;
};
