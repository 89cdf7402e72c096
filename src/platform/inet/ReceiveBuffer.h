#pragma once

#include <QByteArray>

namespace inet {

// The bytes a transfer has received and its reader has not taken yet. Taking
// from the front moves an offset instead of shifting the rest, and the buffer
// is compacted only once half of it is spent, so a reader that takes small
// pieces of a large buffer costs no more than one that takes it whole.
class ReceiveBuffer
{
public:
    qsizetype available() const { return m_bytes.size() - m_offset; }
    const char *front() const { return m_bytes.constData() + m_offset; }
    void append(const char *data, qsizetype length) { m_bytes.append(data, length); }
    // Drops the first count bytes (at most available()).
    void consume(qsizetype count);

private:
    QByteArray m_bytes;
    qsizetype m_offset = 0; // bytes of m_bytes already taken
};

} // namespace inet
