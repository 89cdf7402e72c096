#include "server/FileBody.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

FileBody::~FileBody()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileBody::open(const QString &path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    struct stat info
    {
    };
    if (fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_size = info.st_size;
    m_left = m_size;
    m_modified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
    // Read-ahead only pays for a file of several pieces.
    if (m_size > PieceSize)
        posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void FileBody::restrictTo(qint64 first, qint64 length)
{
    m_next = first;
    m_left = length;
}

bool FileBody::nextPiece(QByteArray &piece)
{
    // The length announced is the length sent: a file that grows is cut there,
    // one that shrinks ends the answer early (the client sees it short).
    if (m_fd < 0 || m_left <= 0)
        return false;
    if (piece.capacity() < PieceSize)
        piece.reserve(PieceSize);
    piece.resize(qMin<qint64>(PieceSize, m_left));
    ssize_t count;
    do {
        count = ::pread(m_fd, piece.data(), size_t(piece.size()), m_next);
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
        m_left = 0;
        piece.resize(0);
        return false;
    }
    piece.resize(count);
    m_next += count;
    m_left -= count;
    return true;
}

ResponseBody::FileSpan FileBody::nextFileSpan(qint64 most)
{
    // An answer of one piece is read and leaves together with the head in one call.
    if (m_fd < 0 || (m_next == 0 && m_left <= PieceSize && m_left == m_size))
        return {};
    const qint64 length = qMin(qMax<qint64>(most, PieceSize), m_left);
    const FileSpan span { m_fd, m_next, length };
    m_next += length;
    m_left -= length;
    return span;
}
