#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace inet {

// The local file a download writes, created anew (an existing file is
// replaced). Failures carry the platform's file error numbers the tools show
// after "Error: " (5 access denied, 3 path not found, 112 disk full, 29 write fault).
class DownloadFile
{
public:
    bool create(const QString &path);
    bool write(QByteArrayView data);
    // Flushes and closes; false when what was written could not be stored. A
    // valid time becomes the file's modification time (the server's Last-Modified).
    bool close(const QDateTime &modified = {});
    bool isOpen() const { return m_file.isOpen(); }

    int error() const { return m_error; }
    qint64 written() const { return m_written; }

    static constexpr int AccessDenied = 5;
    static constexpr int PathNotFound = 3;
    static constexpr int DiskFull = 112;
    static constexpr int WriteFault = 29;

private:
    void fail(int osErrno);

    QFile m_file;
    int m_error = 0;
    qint64 m_written = 0;
};

} // namespace inet
