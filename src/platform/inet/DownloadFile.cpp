#include "platform/inet/DownloadFile.h"

#include <cerrno>

namespace inet {

bool DownloadFile::create(const QString &path)
{
    m_error = 0;
    m_written = 0;
    m_file.setFileName(path);
    errno = 0;
    // Unbuffered: each read's bytes are on disk as soon as they are written, so
    // a stalled transfer's partial file shows what has arrived.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    fail(errno);
    return false;
}

bool DownloadFile::write(QByteArrayView data)
{
    if (!m_file.isOpen())
        return false;
    errno = 0;
    if (m_file.write(data.data(), data.size()) != data.size()) {
        fail(errno);
        return false;
    }
    m_written += data.size();
    return true;
}

bool DownloadFile::close(const QDateTime &modified)
{
    if (!m_file.isOpen())
        return m_error == 0;
    errno = 0;
    const bool flushed = m_file.flush();
    if (!flushed)
        fail(errno);
    if (modified.isValid())
        m_file.setFileTime(modified, QFileDevice::FileModificationTime);
    m_file.close();
    return flushed && m_error == 0;
}

void DownloadFile::fail(int osErrno)
{
    switch (osErrno) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        m_error = AccessDenied;
        break;
    case ENOENT:
    case ENOTDIR:
        m_error = PathNotFound;
        break;
    case ENOSPC:
    case EDQUOT:
        m_error = DiskFull;
        break;
    default:
        m_error = WriteFault;
        break;
    }
}

} // namespace inet
