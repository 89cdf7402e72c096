#pragma once

#include <QByteArray>
#include <QList>

// What a connection still has to send: bytes (a head, a piece, chunk framing)
// and then at most one span of a file, which the socket takes straight from
// the file. One write() sends as much as the socket takes, up to a budget, so
// that one large answer never holds up the others. No write raises SIGPIPE: a
// client gone shows as an error to log.
class SendQueue
{
public:
    struct Result
    {
        qint64 written = 0;
        int error = 0; // errno of a failed call; EAGAIN when the socket is full
        bool fileEnded = false; // the file had less than its span (it shrank)
    };

    bool isEmpty() const { return m_bytes.isEmpty() && m_spanLeft == 0; }
    void append(const QByteArray &bytes);
    // The span is sent after every byte queued before and after it.
    void setFileSpan(int descriptor, qint64 offset, qint64 length);
    void clear();

    Result write(int socket, qint64 budget);

private:
    qint64 writeBytes(int socket, qint64 budget);
    qint64 writeSpan(int socket, qint64 budget);
    bool readSpan(qint64 budget);

    QList<QByteArray> m_bytes;
    qsizetype m_offset = 0; // into the first of m_bytes
    int m_spanFile = -1;
    qint64 m_spanOffset = 0;
    qint64 m_spanLeft = 0;
};
