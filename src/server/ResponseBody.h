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

    // A body read from a file hands its pieces out as spans of the file, which
    // the socket takes straight from it, without a copy through the program:
    // the descriptor, where in the file the span starts and its length, at
    // most the length asked for; a length of 0 at the end. A descriptor of
    // -1: the body gives its bytes through nextPiece() instead.
    struct FileSpan
    {
        int descriptor = -1;
        qint64 offset = 0;
        qint64 length = 0;
    };
    virtual FileSpan nextFileSpan(qint64 /*most*/) { return {}; }
};
