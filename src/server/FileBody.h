#pragma once

#include "server/ResponseBody.h"

#include <QString>

// A file sent in pieces of at most 10,240 bytes, each straight from the file
// or through one reused buffer.
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
    bool failed() const { return m_failed; }

    bool nextPiece(QByteArray &piece) override;
    bool countsAsSent() const override { return true; }
    FileSpan nextFileSpan() override;

private:
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_left = 0;
    bool m_failed = false;
};
