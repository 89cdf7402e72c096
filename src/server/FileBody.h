#pragma once

#include "server/OpenFiles.h"
#include "server/ResponseBody.h"

#include <memory>

// A file, or one byte range of it, sent in pieces of at most 10,240 bytes
// (larger spans when nothing paces them), each straight from the file or,
// for an answer of one piece, through one reused buffer.
class FileBody : public ResponseBody
{
public:
    static constexpr qsizetype PieceSize = 10240;

    explicit FileBody(std::shared_ptr<const OpenFiles::File> file);

    qint64 size() const { return m_file->stamp.size; }
    // Sends only the bytes first..first + length - 1, which lie within the file.
    void restrictTo(qint64 first, qint64 length);

    bool nextPiece(QByteArray &piece) override;
    bool countsAsSent() const override { return true; }
    FileSpan nextFileSpan(qint64 most) override;

private:
    std::shared_ptr<const OpenFiles::File> m_file;
    qint64 m_next = 0; // where the next piece starts
    qint64 m_left = 0;
};
