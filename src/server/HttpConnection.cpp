#include "server/HttpConnection.h"

#include "server/ConnectionHost.h"
#include "server/SocketPoller.h"

#include <QTimer>

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

HttpConnection::HttpConnection(int socket, ConnectionHost *host, SocketPoller &poller, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_host(host)
    , m_poller(poller)
{
    m_request.reserve(RequestLimit);
    touch();
    m_poller.add(socket, [this](bool readable, bool writable) { onReady(readable, writable); });
}

HttpConnection::~HttpConnection()
{
    closeSocket();
}

void HttpConnection::closeSocket()
{
    if (m_socket < 0)
        return;
    m_poller.remove(m_socket);
    ::close(m_socket);
    m_socket = -1;
    m_state = State::Closed;
}

void HttpConnection::watch(bool read, bool write)
{
    m_poller.setInterest(m_socket, read, write);
}

bool HttpConnection::expire(Clock::time_point now, std::chrono::milliseconds limit)
{
    if (m_state == State::Closed || m_state == State::Pausing || now - m_lastActivity < limit)
        return false;
    if (m_state != State::Lingering) {
        m_host->socketError(ETIMEDOUT);
        m_host->clientClosed();
    }
    closeSocket();
    m_host->connectionEnded(this);
    return true;
}

void HttpConnection::onReady(bool readable, bool writable)
{
    if (writable)
        sendMore();
    if (readable)
        onReadable();
}

void HttpConnection::onReadable()
{
    if (m_state == State::Reading)
        readRequest();
    else if (m_state == State::Lingering)
        drain();
}

void HttpConnection::readRequest()
{
    while (m_request.size() < RequestLimit) {
        const qsizetype had = m_request.size();
        m_request.resize(RequestLimit);
        const ssize_t count = ::recv(m_socket, m_request.data() + had, size_t(RequestLimit - had), 0);
        const int error = errno;
        m_request.resize(had + qMax<ssize_t>(count, 0));
        if (count < 0) {
            if (wouldBlock(error) || error == EINTR) {
                watch(true, false);
                return;
            }
            m_host->socketError(error);
            closeSocket();
            m_host->connectionEnded(this);
            return;
        }
        if (count == 0) {
            // The client closed: what it sent so far is judged; nothing sent means no request.
            if (m_request.isEmpty()) {
                m_host->clientClosed();
                closeSocket();
                m_host->connectionEnded(this);
                return;
            }
            break;
        }
        touch();
        const QByteArrayView fresh = QByteArrayView(m_request).sliced(had);
        if (fresh.indexOf('\r') >= 0 || fresh.indexOf('\n') >= 0)
            break;
    }
    startAnswer();
}

void HttpConnection::startAnswer()
{
    qsizetype end = m_request.indexOf('\r');
    const qsizetype lineFeed = m_request.indexOf('\n');
    if (end < 0 || (lineFeed >= 0 && lineFeed < end))
        end = lineFeed;
    watch(false, false);
    // Short of the limit without a line end, the client closed: its line ends there.
    const bool lineEnded = end >= 0 || m_request.size() < RequestLimit;
    m_response = m_host->answer(QByteArrayView(m_request).first(end < 0 ? m_request.size() : end), lineEnded);
    m_head = m_response.head;
    m_headOffset = 0;
    m_pieceOffset = 0;
    m_piece.resize(0);
    m_state = State::Sending;
    nextPiece();
}

void HttpConnection::nextPiece()
{
    // With no delay the pieces follow one another while the socket takes them.
    while (m_state == State::Sending) {
        if (!takePiece()) {
            if (m_headOffset < m_head.size() && !writePending())
                return;
            finishAnswer();
            return;
        }
        if (!writePending())
            return;
    }
}

bool HttpConnection::takePiece()
{
    if (!m_response.body || m_bodyEnded)
        return false;
    const ResponseBody::FileSpan span = m_response.body->nextFileSpan();
    if (span.descriptor >= 0) {
        m_spanFile = span.descriptor;
        m_spanLeft = span.length;
        m_pieceBytes = span.length;
        return span.length > 0;
    }
    if (!m_response.body->nextPiece(m_piece))
        return false;
    m_pieceOffset = 0;
    m_pieceBytes = m_piece.size();
    return true;
}

// One call that sends what is pending: the head and a buffered piece together,
// or a span of the file. The bytes taken, or -1 with errno set.
ssize_t HttpConnection::sendPending()
{
    if (m_headOffset >= m_head.size() && m_pieceOffset >= m_piece.size()) {
        const ssize_t sent = ::sendfile(m_socket, m_spanFile, nullptr, size_t(m_spanLeft));
        if (sent >= 0 || (errno != EINVAL && errno != ENOSYS))
            return sent;
        // A file system that cannot hand its data to a socket: read the span instead.
        m_piece.resize(m_spanLeft);
        const ssize_t count = ::read(m_spanFile, m_piece.data(), size_t(m_spanLeft));
        m_piece.resize(qMax<ssize_t>(count, 0));
        m_pieceOffset = 0;
        m_spanLeft = 0;
        if (count <= 0) {
            m_bodyEnded = true;
            m_pieceBytes = 0;
        }
        return 0;
    }
    iovec parts[2];
    int count = 0;
    if (m_headOffset < m_head.size())
        parts[count++] = { m_head.data() + m_headOffset, size_t(m_head.size() - m_headOffset) };
    if (m_pieceOffset < m_piece.size())
        parts[count++] = { m_piece.data() + m_pieceOffset, size_t(m_piece.size() - m_pieceOffset) };
    msghdr message {};
    message.msg_iov = parts;
    message.msg_iovlen = size_t(count);
    // The head waits for the file's bytes that follow, to leave in the same packets.
    return ::sendmsg(m_socket, &message, MSG_NOSIGNAL | (m_spanLeft > 0 ? MSG_MORE : 0));
}

bool HttpConnection::writePending()
{
    while (m_headOffset < m_head.size() || m_pieceOffset < m_piece.size() || m_spanLeft > 0) {
        const bool fromFile = m_headOffset >= m_head.size() && m_pieceOffset >= m_piece.size();
        const ssize_t written = sendPending();
        if (written < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (wouldBlock(error)) {
                watch(false, true);
                return false;
            }
            m_host->socketError(error);
            closeSocket();
            m_host->connectionEnded(this);
            return false;
        }
        if (fromFile && written == 0 && m_spanLeft > 0) {
            // The file has shrunk since it was opened: the answer ends short here.
            m_pieceBytes -= m_spanLeft;
            m_spanLeft = 0;
            m_bodyEnded = true;
            break;
        }
        touch();
        if (fromFile) {
            m_spanLeft -= written;
            continue;
        }
        qsizetype left = written;
        const qsizetype fromHead = qMin(left, m_head.size() - m_headOffset);
        m_headOffset += fromHead;
        left -= fromHead;
        m_pieceOffset += left;
    }
    watch(false, false);
    const qint64 bytes = std::exchange(m_pieceBytes, 0);
    m_piece.resize(0);
    m_pieceOffset = 0;
    if (bytes == 0)
        return true;
    m_bodyBytes += bytes;
    m_host->pieceSent(bytes, m_response.body->countsAsSent());
    const int delay = m_host->sendDelay();
    if (delay > 0) {
        m_state = State::Pausing;
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this] {
            if (m_state != State::Pausing)
                return;
            m_state = State::Sending;
            touch();
            nextPiece();
        });
        return false;
    }
    return true;
}

void HttpConnection::sendMore()
{
    if (m_state != State::Sending)
        return;
    if (writePending())
        nextPiece();
}

void HttpConnection::finishAnswer()
{
    m_host->answered(m_bodyBytes, m_response.file);
    m_response = Response();
    // Half-close and wait for the client's close, so what it sent beyond the
    // first line can never turn our close into a reset that loses the answer.
    ::shutdown(m_socket, SHUT_WR);
    m_state = State::Lingering;
    drain();
}

void HttpConnection::drain()
{
    char scrap[4096];
    for (;;) {
        const ssize_t count = ::recv(m_socket, scrap, sizeof scrap, 0);
        if (count > 0) {
            touch();
            continue;
        }
        if (count < 0 && (wouldBlock(errno) || errno == EINTR)) {
            watch(true, false);
            return;
        }
        break;
    }
    closeSocket();
    m_host->connectionEnded(this);
}
