#include "server/FileBody.h"

#include <unistd.h>

#include <cerrno>

FileBody::FileBody(std::shared_ptr<const OpenFiles::File> file)
    : m_file(std::move(file))
    , m_left(m_file->stamp.size)
{ }

void FileBody::restrictTo(qint64 first, qint64 length)
{
    m_next = first;
    m_left = length;
}

bool FileBody::nextPiece(QByteArray &piece)
{
    // The length announced is the length sent: a file that grows is cut there,
    // one that shrinks ends the answer early (the client sees it short).
    if (m_left <= 0)
        return false;
    piece.resize(qMin<qint64>(PieceSize, m_left));
    ssize_t count;
    do {
        count = ::pread(m_file->descriptor, piece.data(), size_t(piece.size()), m_next);
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
    if (m_next == 0 && m_left <= PieceSize && m_left == size())
        return {};
    const qint64 length = qMin(qMax<qint64>(most, PieceSize), m_left);
    const FileSpan span { m_file->descriptor, m_next, length };
    m_next += length;
    m_left -= length;
    return span;
}
