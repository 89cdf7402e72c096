#include "server/HttpConnection.h"

#include "server/ConnectionHost.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

} // namespace

HttpConnection::HttpConnection(int socket, ConnectionHost *host, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_host(host)
    , m_readNotifier(new QSocketNotifier(socket, QSocketNotifier::Read, this))
{
    m_request.reserve(RequestLimit);
    touch();
    connect(m_readNotifier, &QSocketNotifier::activated, this, &HttpConnection::onReadable);
}

HttpConnection::~HttpConnection()
{
    closeSocket();
}

void HttpConnection::closeSocket()
{
    if (m_socket < 0)
        return;
    m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    ::close(m_socket);
    m_socket = -1;
    m_state = State::Closed;
}

void HttpConnection::enableWriteWatch(bool on)
{
    if (on && !m_writeNotifier) {
        m_writeNotifier = new QSocketNotifier(m_socket, QSocketNotifier::Write, this);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &HttpConnection::sendMore);
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(on);
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
            if (wouldBlock(error) || error == EINTR)
                return;
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
    m_readNotifier->setEnabled(false);
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
        if (!m_response.body || !m_response.body->nextPiece(m_piece)) {
            if (m_headOffset < m_head.size()) {
                m_piece.resize(0);
                if (!writePending())
                    return;
            }
            finishAnswer();
            return;
        }
        m_pieceOffset = 0;
        if (!writePending())
            return;
    }
}

bool HttpConnection::writePending()
{
    while (m_headOffset < m_head.size() || m_pieceOffset < m_piece.size()) {
        iovec parts[2];
        int count = 0;
        if (m_headOffset < m_head.size())
            parts[count++] = { m_head.data() + m_headOffset, size_t(m_head.size() - m_headOffset) };
        if (m_pieceOffset < m_piece.size())
            parts[count++] = { m_piece.data() + m_pieceOffset, size_t(m_piece.size() - m_pieceOffset) };
        msghdr message {};
        message.msg_iov = parts;
        message.msg_iovlen = size_t(count);
        const ssize_t written = ::sendmsg(m_socket, &message, MSG_NOSIGNAL);
        if (written < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (wouldBlock(error)) {
                enableWriteWatch(true);
                return false;
            }
            m_host->socketError(error);
            closeSocket();
            m_host->connectionEnded(this);
            return false;
        }
        touch();
        qsizetype left = written;
        const qsizetype fromHead = qMin(left, m_head.size() - m_headOffset);
        m_headOffset += fromHead;
        left -= fromHead;
        m_pieceOffset += left;
    }
    enableWriteWatch(false);
    if (m_piece.isEmpty())
        return true;
    const qsizetype bytes = m_piece.size();
    m_bodyBytes += bytes;
    m_host->pieceSent(bytes, m_response.body->countsAsSent());
    m_piece.resize(0);
    m_pieceOffset = 0;
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
    m_readNotifier->setEnabled(true);
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
        if (count < 0 && (wouldBlock(errno) || errno == EINTR))
            return;
        break;
    }
    closeSocket();
    m_host->connectionEnded(this);
}
