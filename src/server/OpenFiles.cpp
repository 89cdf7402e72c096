#include "server/OpenFiles.h"

#include "server/FileBody.h"
#include "server/HttpDate.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OpenFiles::File::~File()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

std::shared_ptr<const OpenFiles::File> OpenFiles::open(const QString &path, const PathMapper::FileStamp &found)
{
    const auto now = Clock::now();
    const auto known = m_files.find(path);
    if (known != m_files.end() && known->file->stamp == found) {
        known->used = now;
        return known->file;
    }
    auto file = std::make_shared<File>();
    file->descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info
    {
    };
    if (file->descriptor < 0 || fstat(file->descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    file->stamp = PathMapper::stampOf(info);
    file->modified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
    file->lastModified = HttpDate::format(file->modified);
    // Read-ahead only pays for a file of several pieces.
    if (info.st_size > FileBody::PieceSize)
        posix_fadvise(file->descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (known == m_files.end() && m_files.size() >= Capacity)
        m_files.erase(m_files.begin());
    m_files.insert(path, { file, now });
    return file;
}

void OpenFiles::closeUnused(Clock::time_point now, std::chrono::milliseconds limit)
{
    for (auto entry = m_files.begin(); entry != m_files.end();) {
        if (now - entry->used >= limit)
            entry = m_files.erase(entry);
        else
            ++entry;
    }
}
