#pragma once

#include <QByteArray>

// The body of an answer, handed out piece by piece: each piece is sent whole
// and followed by the send delay before the next is asked for, so nothing
// larger than one piece is ever held.
class ResponseBody
{
public:
    virtual ~ResponseBody() = default;
    // Fills piece with the next piece (reusing its storage); false when the
    // body has ended.
    virtual bool nextPiece(QByteArray &piece) = 0;
    // True when the body counts toward the bytes-sent counter (files do,
    // generated pages do not).
    virtual bool countsAsSent() const { return false; }
};
