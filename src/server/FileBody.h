#pragma once

#include "server/ResponseBody.h"

#include <QDateTime>
#include <QString>

// A file, or one byte range of it, sent in pieces of at most 10,240 bytes
// (larger spans when nothing paces them), each straight from the file or,
// for a file of one piece, through one reused buffer.
class FileBody : public ResponseBody
{
public:
    static constexpr qsizetype PieceSize = 10240;

    FileBody() = default;
    ~FileBody() override;
    FileBody(const FileBody &) = delete;
    FileBody &operator=(const FileBody &) = delete;

    // False when the file cannot be opened for reading.
    bool open(const QString &path);
    qint64 size() const { return m_size; }
    QDateTime modified() const { return m_modified; }
    // Sends only the bytes first..first + length - 1, which lie within the file.
    void restrictTo(qint64 first, qint64 length);

    bool nextPiece(QByteArray &piece) override;
    bool countsAsSent() const override { return true; }
    FileSpan nextFileSpan(qint64 most) override;

private:
    int m_fd = -1;
    qint64 m_size = 0;
    QDateTime m_modified;
    qint64 m_next = 0; // where the next piece starts
    qint64 m_left = 0;
};
