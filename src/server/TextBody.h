#pragma once

#include "server/ResponseBody.h"

// A short body sent as one piece: the page of an error answer.
class TextBody : public ResponseBody
{
public:
    explicit TextBody(QByteArray text)
        : m_text(std::move(text))
    { }

    bool nextPiece(QByteArray &piece) override
    {
        if (m_sent)
            return false;
        m_sent = true;
        piece = m_text;
        return true;
    }

private:
    QByteArray m_text;
    bool m_sent = false;
};
