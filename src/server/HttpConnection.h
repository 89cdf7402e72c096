#pragma once

#include "server/Response.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <memory>

class ConnectionHost;
class SocketPoller;

// One accepted client: read until the first line ends (or 1,024 bytes), answer,
// close. Sending goes piece by piece, each followed by the host's send delay on
// a timer, so a slow client or a long delay never holds up another connection.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype RequestLimit = 1024;
    using Clock = std::chrono::steady_clock;

    HttpConnection(int socket, ConnectionHost *host, SocketPoller &poller, QObject *parent = nullptr);
    ~HttpConnection() override;

    // Reads what has already arrived (called once right after accept).
    void begin() { onReadable(); }
    // Drops the client when it has been silent, or has not taken data, since limit.
    bool expire(Clock::time_point now, std::chrono::milliseconds limit);
    bool isOpen() const { return m_socket >= 0; }

private:
    enum class State { Reading, Sending, Pausing, Lingering, Closed };

    void onReady(bool readable, bool writable);
    void onReadable();
    void readRequest();
    void drain();
    void startAnswer();
    void sendMore();
    void nextPiece();
    bool takePiece();
    bool writePending();
    ssize_t sendPending();
    void finishAnswer();
    void closeSocket();
    void touch() { m_lastActivity = Clock::now(); }
    void watch(bool read, bool write);

    int m_socket;
    ConnectionHost *m_host;
    State m_state = State::Reading;
    SocketPoller &m_poller;
    QByteArray m_request;
    Response m_response;
    QByteArray m_head;
    QByteArray m_piece;
    qsizetype m_headOffset = 0;
    qsizetype m_pieceOffset = 0;
    // A piece sent straight from the body's file: what of it is still to go.
    int m_spanFile = -1;
    qint64 m_spanLeft = 0;
    qint64 m_pieceBytes = 0; // the size of the piece being sent
    bool m_bodyEnded = false;
    qint64 m_bodyBytes = 0;
    Clock::time_point m_lastActivity;
};
