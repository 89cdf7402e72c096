#pragma once

#include "server/ConnectionHost.h"
#include "server/Response.h"
#include "server/SendQueue.h"
#include "server/SocketPoller.h"

#include <QByteArray>
#include <QObject>

#include <chrono>

// One accepted client: reads a request's head, answers it, and on a kept
// connection waits for the next one (pipelined requests are answered in
// order). An answer goes piece by piece, each followed by the host's send
// delay on a timer, and in one turn of the poller a connection sends at most
// its share, so a slow client, a long delay or a large file never holds up
// another connection. A request is answered in the part of a turn after the
// poller's hook, never in the part in which its bytes were read.
class HttpConnection : public QObject, private SocketPoller::Client
{
    Q_OBJECT

public:
    static constexpr qsizetype LineLimit = 1024;
    static constexpr qsizetype HeadLimit = 16 * 1024;
    // A few calls of this size move a large file at the socket's speed; one
    // takes well under a millisecond, so that a small answer waits no longer.
    static constexpr qint64 TurnShare = 512 * 1024;
    using Clock = std::chrono::steady_clock;

    struct Limits
    {
        // For a whole request head, from the connection's start or the previous answer.
        std::chrono::milliseconds request;
        // For a kept connection's silence after an answer.
        std::chrono::milliseconds keepAlive;
        // For a client that takes none of its answer.
        std::chrono::milliseconds stall;
    };

    HttpConnection(int socket, ConnectionHost *host, SocketPoller &poller, QObject *parent = nullptr);
    ~HttpConnection() override;

    // Starts watching the socket and reads what has arrived (called once right after accept).
    void begin();
    // Closes the connection when one of its limits has passed.
    bool expire(Clock::time_point now, const Limits &limits);
    // Closes the connection at once, to make room for another.
    void drop();

private:
    enum class State { Waiting, Sending, Pausing, Lingering, Closed };

    // SocketPoller::Client
    void socketReady(bool readable, bool writable, bool ended) override;
    void resume() override;
    void unwatchable(int error) override;

    void readInput();
    void takeRequest();
    void startAnswer(qsizetype headLength, ConnectionHost::Arrival arrival);
    void pump();
    bool queueNextPiece();
    bool pieceDone();
    void finishAnswer();
    bool bytesWaiting() const;
    void waitForRequest();
    void drain();
    void timeOut();
    void fail(int error);
    void end();
    void closeSocket();

    int m_socket;
    ConnectionHost *m_host;
    SocketPoller &m_poller;
    State m_state = State::Waiting;
    QByteArray m_input;
    bool m_peerClosed = false;
    bool m_bytesBeyondRequest = false; // the client sent more than the request it is answered on the close of
    bool m_mayRead = false; // bytes may wait in the socket (told readable, not yet read to its end)
    bool m_endTold = false; // the peer's close is on its way: a short read does not mean all was read
    bool m_blocked = false; // the socket took no more: room is awaited
    bool m_noDelay = false; // small packets leave without waiting for acknowledgements
    int m_answers = 0;
    Clock::time_point m_waitStart; // since when a request (or the client's close) is awaited
    bool m_heardSinceWait = false;
    Clock::time_point m_lastProgress;
    Response m_response;
    SendQueue m_queue;
    QByteArray m_piece;
    qint64 m_pieceBytes = 0; // body bytes of the piece in the queue
    qint64 m_bodyBytes = 0;
    bool m_bodyEnded = false;
    bool m_bodyBroken = false; // the file shrank: the answer is short of its length
    qint64 m_budget = 0; // of this turn's share
};
