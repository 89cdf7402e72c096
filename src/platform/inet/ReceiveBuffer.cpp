#include "platform/inet/ReceiveBuffer.h"

namespace inet {

void ReceiveBuffer::consume(qsizetype count)
{
    m_offset += count;
    if (m_offset == m_bytes.size()) {
        m_bytes.resize(0);
        m_offset = 0;
    } else if (m_offset >= m_bytes.size() / 2) {
        m_bytes.remove(0, m_offset);
        m_offset = 0;
    }
}

} // namespace inet
