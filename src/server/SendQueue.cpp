#include "server/SendQueue.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace {

constexpr int MaxParts = 8;

// sendfile() has no MSG_NOSIGNAL: the SIGPIPE it raises when the client is
// gone is blocked on this thread, where the kernel directs it, and taken back
// at once, so it reaches neither the program nor any other thread.
void blockBrokenPipe()
{
    thread_local bool blocked = false;
    if (blocked)
        return;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    blocked = true;
}

void takeBackBrokenPipe()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    const timespec none { 0, 0 };
    while (sigtimedwait(&set, nullptr, &none) == SIGPIPE) { }
}

} // namespace

void SendQueue::append(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        m_bytes.append(bytes);
}

void SendQueue::setFileSpan(int descriptor, qint64 offset, qint64 length)
{
    m_spanFile = descriptor;
    m_spanOffset = offset;
    m_spanLeft = length;
}

void SendQueue::clear()
{
    m_bytes.clear();
    m_offset = 0;
    m_spanLeft = 0;
}

SendQueue::Result SendQueue::write(int socket, qint64 budget)
{
    Result result;
    while (!isEmpty() && result.written < budget) {
        const bool fromFile = m_bytes.isEmpty();
        const qint64 sent
            = fromFile ? writeSpan(socket, budget - result.written) : writeBytes(socket, budget - result.written);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0) {
            result.error = errno == EWOULDBLOCK ? EAGAIN : errno;
            return result;
        }
        if (sent == 0 && fromFile) {
            m_spanLeft = 0;
            result.fileEnded = true;
            return result;
        }
        result.written += sent;
    }
    return result;
}

qint64 SendQueue::writeBytes(int socket, qint64 budget)
{
    iovec parts[MaxParts];
    int count = 0;
    qint64 offered = 0;
    for (qsizetype i = 0; i < m_bytes.size() && count < MaxParts && offered < budget; ++i) {
        const qsizetype skip = i == 0 ? m_offset : 0;
        const qint64 length = qMin<qint64>(m_bytes[i].size() - skip, budget - offered);
        parts[count++] = { const_cast<char *>(m_bytes[i].constData()) + skip, size_t(length) };
        offered += length;
    }
    msghdr message {};
    message.msg_iov = parts;
    message.msg_iovlen = size_t(count);
    // A head waits for the file's bytes that follow, to leave in the same packets.
    const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL | (m_spanLeft > 0 ? MSG_MORE : 0));
    if (sent <= 0)
        return sent;
    qint64 left = sent;
    while (left > 0) {
        const qint64 inFirst = m_bytes.first().size() - m_offset;
        if (left < inFirst) {
            m_offset += left;
            break;
        }
        left -= inFirst;
        m_bytes.removeFirst();
        m_offset = 0;
    }
    return sent;
}

// 0 when the file has ended before the span did.
qint64 SendQueue::writeSpan(int socket, qint64 budget)
{
    blockBrokenPipe();
    off_t offset = m_spanOffset;
    const ssize_t sent = ::sendfile(socket, m_spanFile, &offset, size_t(qMin(m_spanLeft, budget)));
    if (sent < 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system that cannot hand its data to a socket: the span goes through a buffer.
        return readSpan(budget) ? writeBytes(socket, budget) : 0;
    }
    if (sent < 0 && errno == EPIPE) {
        takeBackBrokenPipe();
        errno = EPIPE;
    }
    if (sent <= 0)
        return sent;
    m_spanOffset += sent;
    m_spanLeft -= sent;
    return sent;
}

// The span's next piece, no larger than a write's budget, so that a large file
// never stands whole in memory; false when the file holds less than the span.
bool SendQueue::readSpan(qint64 budget)
{
    QByteArray piece(qMin(m_spanLeft, budget), Qt::Uninitialized);
    ssize_t count;
    do {
        count = ::pread(m_spanFile, piece.data(), size_t(piece.size()), m_spanOffset);
    } while (count < 0 && errno == EINTR);
    if (count < piece.size())
        return false;
    m_spanOffset += count;
    m_spanLeft -= count;
    m_bytes.append(piece);
    return true;
}
