#include "server/HttpConnection.h"

#include "server/RequestHead.h"

#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

constexpr QByteArrayView LastChunk("0\r\n\r\n");

} // namespace

HttpConnection::HttpConnection(int socket, ConnectionHost *host, SocketPoller &poller, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_host(host)
    , m_poller(poller)
    , m_waitStart(m_poller.now())
{ }

HttpConnection::~HttpConnection()
{
    closeSocket();
}

void HttpConnection::begin()
{
    // A client's request has mostly arrived by the time it is accepted: it is
    // read now, and the socket is watched only if more must be waited for.
    m_poller.addWhenWaiting(m_socket, this);
    socketReady(true, false, false);
}

void HttpConnection::unwatchable(int error)
{
    fail(error);
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

void HttpConnection::end()
{
    closeSocket();
    m_host->connectionEnded(this);
}

void HttpConnection::fail(int error)
{
    m_host->socketError(error);
    end();
}

void HttpConnection::timeOut()
{
    m_host->socketError(ETIMEDOUT);
    m_host->clientClosed();
    end();
}

void HttpConnection::drop()
{
    end();
}

bool HttpConnection::expire(Clock::time_point now, const Limits &limits)
{
    switch (m_state) {
    case State::Waiting:
        // A kept connection that stays silent is closed as an answered one would be.
        if (m_answers > 0 && !m_heardSinceWait && now - m_waitStart >= limits.keepAlive) {
            end();
            return true;
        }
        if (now - m_waitStart < limits.request)
            return false;
        timeOut();
        return true;
    case State::Sending:
        if (now - m_lastProgress < limits.stall)
            return false;
        timeOut();
        return true;
    case State::Lingering:
        if (now - m_waitStart < limits.keepAlive)
            return false;
        end();
        return true;
    case State::Pausing:
    case State::Closed:
        return false;
    }
    return false;
}

void HttpConnection::socketReady(bool readable, bool writable, bool ended)
{
    m_mayRead = m_mayRead || readable;
    m_endTold = m_endTold || ended;
    switch (m_state) {
    case State::Waiting:
        // What is read now is answered after the turn's hook.
        if (m_mayRead) {
            readInput();
            m_poller.callAgain(m_socket);
        }
        break;
    case State::Sending:
        // One that stopped for its share is called again anyway.
        if (writable && m_blocked) {
            m_budget = TurnShare;
            pump();
        }
        break;
    case State::Lingering:
        if (m_mayRead)
            drain();
        break;
    case State::Pausing:
    case State::Closed:
        break;
    }
}

void HttpConnection::resume()
{
    switch (m_state) {
    case State::Waiting:
        takeRequest();
        break;
    case State::Sending:
        m_budget = TurnShare;
        pump();
        break;
    case State::Pausing:
    case State::Lingering:
    case State::Closed:
        break;
    }
}

// Reads until the socket is empty, or the head's limit is reached.
void HttpConnection::readInput()
{
    char scrap[4096];
    while (!m_peerClosed && m_input.size() < HeadLimit) {
        const size_t room = size_t(qMin<qsizetype>(sizeof scrap, HeadLimit - m_input.size()));
        const ssize_t count = ::recv(m_socket, scrap, room, 0);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_mayRead = false;
                break;
            }
            fail(errno);
            return;
        }
        if (count == 0) {
            m_peerClosed = true;
            m_mayRead = false;
            break;
        }
        m_input.append(scrap, count);
        m_heardSinceWait = true;
        // Less than asked for is all there was; what comes later is told anew.
        if (size_t(count) < room && !m_endTold) {
            m_mayRead = false;
            break;
        }
    }
}

void HttpConnection::takeRequest()
{
    const qsizetype headEnd = RequestHead::endOf(m_input);
    if (headEnd >= 0) {
        startAnswer(headEnd, ConnectionHost::Arrival::Whole);
        return;
    }
    const qsizetype lineEnd = RequestHead::firstLineEnd(m_input);
    if (lineEnd > LineLimit || (lineEnd < 0 && m_input.size() >= LineLimit)) {
        startAnswer(m_input.size(), ConnectionHost::Arrival::LineTooLong);
        return;
    }
    // A line that cannot start a request is answered without waiting for the rest.
    if (lineEnd >= 0 && !RequestLine::parse(QByteArrayView(m_input).first(lineEnd)).answerable()) {
        startAnswer(m_input.size(), ConnectionHost::Arrival::Whole);
        return;
    }
    if (m_input.size() >= HeadLimit) {
        startAnswer(m_input.size(), ConnectionHost::Arrival::HeadTooLarge);
        return;
    }
    if (m_peerClosed) {
        // What a client sent before it closed is all it will send: it is judged as it stands.
        if (!m_input.isEmpty()) {
            startAnswer(m_input.size(), ConnectionHost::Arrival::Whole);
            return;
        }
        if (m_answers == 0)
            m_host->clientClosed();
        end();
        return;
    }
    // Bytes that arrived while the last answer went out: read now, judged in the next turn.
    if (m_mayRead) {
        readInput();
        if (m_state == State::Waiting)
            m_poller.callAgain(m_socket);
    }
}

// Answers the request whose head is the input's first headLength bytes.
void HttpConnection::startAnswer(qsizetype headLength, ConnectionHost::Arrival arrival)
{
    m_state = State::Sending;
    m_host->waitingChanged(this, false);
    m_response = m_host->answer(QByteArrayView(m_input).first(headLength), arrival);
    m_input.remove(0, headLength);
    // The end of an answer on a kept connection must leave at once, not wait
    // for the client to acknowledge what went before it; a closing answer's
    // end leaves with the close.
    if (m_response.keepAlive && !m_noDelay) {
        const int on = 1;
        setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        m_noDelay = true;
    }
    // After a request the server could not frame, nothing more on the connection is read as a request.
    if (!m_response.keepAlive) {
        m_bytesBeyondRequest = !m_input.isEmpty();
        m_input.clear();
    }
    m_queue.append(m_response.head);
    m_bodyBytes = 0;
    m_pieceBytes = 0;
    m_bodyEnded = !m_response.body;
    m_bodyBroken = false;
    m_lastProgress = m_poller.now();
    m_budget = TurnShare;
    queueNextPiece();
    // The head leaves together with the first piece, which it does not shorten.
    m_budget += m_response.head.size();
    pump();
}

// Sends what is queued, piece after piece, until the piece's delay, the
// socket's room or the turn's share runs out, or the answer is complete.
void HttpConnection::pump()
{
    while (m_state == State::Sending) {
        const SendQueue::Result result = m_queue.write(m_socket, m_budget);
        m_budget -= result.written;
        if (result.written > 0)
            m_lastProgress = m_poller.now();
        m_blocked = result.error == EAGAIN;
        if (result.error != 0 && !m_blocked) {
            fail(result.error);
            return;
        }
        if (result.fileEnded) {
            m_bodyBroken = true;
            m_bodyEnded = true;
            m_pieceBytes = 0;
        }
        // The socket is full: the poller tells when it has room.
        if (m_blocked)
            return;
        // This turn's share is spent: the next turn goes on.
        if (!m_queue.isEmpty()) {
            m_poller.callAgain(m_socket);
            return;
        }
        if (m_pieceBytes > 0 && pieceDone())
            return;
        if (m_budget <= 0 && !m_bodyEnded) {
            m_poller.callAgain(m_socket);
            return;
        }
        if (!queueNextPiece()) {
            finishAnswer();
            return;
        }
    }
}

bool HttpConnection::queueNextPiece()
{
    if (m_bodyEnded)
        return false;
    ResponseBody &body = *m_response.body;
    // Unpaced pieces may fill the turn's share; paced ones are the design's 10,240 bytes.
    const qint64 most = m_host->sendDelay() > 0 ? 0 : m_budget;
    const ResponseBody::FileSpan span = body.nextFileSpan(most);
    if (span.descriptor >= 0 && span.length > 0) {
        m_queue.setFileSpan(span.descriptor, span.offset, span.length);
        m_pieceBytes = span.length;
        return true;
    }
    if (span.descriptor >= 0 || !body.nextPiece(m_piece)) {
        m_bodyEnded = true;
        if (!m_response.chunked)
            return false;
        m_queue.append(LastChunk.toByteArray());
        return true;
    }
    if (m_response.chunked) {
        m_queue.append(QByteArray::number(m_piece.size(), 16) + "\r\n");
        m_queue.append(m_piece);
        m_queue.append(QByteArrayLiteral("\r\n"));
    } else {
        m_queue.append(m_piece);
    }
    m_pieceBytes = m_piece.size();
    return true;
}

// Reports the piece just sent; true when its delay now holds the answer.
bool HttpConnection::pieceDone()
{
    const qint64 bytes = std::exchange(m_pieceBytes, 0);
    m_bodyBytes += bytes;
    m_host->pieceSent(bytes, m_response.body->countsAsSent());
    const int delay = m_host->sendDelay();
    if (delay <= 0)
        return false;
    m_state = State::Pausing;
    QTimer::singleShot(delay, Qt::PreciseTimer, this, [this] {
        if (m_state != State::Pausing)
            return;
        m_state = State::Sending;
        m_lastProgress = m_poller.now();
        m_budget = TurnShare;
        pump();
    });
    return true;
}

void HttpConnection::finishAnswer()
{
    m_host->answered(m_bodyBytes, m_response.file);
    const bool keep = m_response.keepAlive && !m_bodyBroken;
    const bool nothingMoreToRead = m_response.requestEnded && !m_bytesBeyondRequest && !m_mayRead;
    m_response = Response();
    m_queue.clear();
    ++m_answers;
    if (keep) {
        waitForRequest();
        return;
    }
    // A client whose request ended with its head, and which sent nothing
    // after it, has nothing unread here: the close sends the end of the
    // answer after its last byte, as a half-close would, and frees the
    // connection at once. A byte that came since the last read would turn
    // the close into a reset, so the socket is looked into first.
    if (nothingMoreToRead && !bytesWaiting()) {
        end();
        return;
    }
    // Else half-close and wait for the client's close, so what it sends
    // beyond the request can never turn our close into a reset that loses the answer.
    ::shutdown(m_socket, SHUT_WR);
    m_state = State::Lingering;
    m_waitStart = m_poller.now();
    m_host->waitingChanged(this, true);
    // A socket read to its end is told of the client's next bytes, or its close.
    if (m_mayRead || m_peerClosed)
        drain();
}

bool HttpConnection::bytesWaiting() const
{
    // The client's own close, or a failure, leaves nothing to lose.
    char byte;
    return ::recv(m_socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

void HttpConnection::waitForRequest()
{
    m_state = State::Waiting;
    m_waitStart = m_poller.now();
    m_heardSinceWait = !m_input.isEmpty();
    m_host->waitingChanged(this, true);
    // A request already read goes in the next turn, after the other connections have had theirs.
    if (!m_input.isEmpty() || m_mayRead || m_peerClosed)
        m_poller.callAgain(m_socket);
}

void HttpConnection::drain()
{
    char scrap[4096];
    for (;;) {
        const ssize_t count = ::recv(m_socket, scrap, sizeof scrap, 0);
        if (count > 0)
            continue;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_mayRead = false;
            return;
        }
        break;
    }
    end();
}
