#pragma once

#include <QByteArray>
#include <QString>

struct stat;

// Maps a request path onto the served directory. The path is percent-decoded;
// "\" counts as "/"; each name is matched case-insensitively against what is on
// disk (an exact match wins), so a lower-cased request reaches a file named with
// capitals. A ".." name, an absolute path, a NUL, or anything that resolves
// (through symbolic links) outside the served directory is refused.
class PathMapper
{
public:
    enum class Verdict {
        File, // an existing regular file
        Directory, // an existing directory
        Missing, // nothing there; localPath is where it would be
        Forbidden, // would leave the served directory
        Malformed, // not decodable as a path
    };

    // Which file a path names and in which state the walk found it: the same
    // stamp later means the same, unchanged file.
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0; // since the epoch

        bool operator==(const FileStamp &) const = default;
    };

    struct Result
    {
        Verdict verdict = Verdict::Malformed;
        QString localPath; // absolute, with the names as found on disk
        QString decodedPath; // the request path decoded, "/" separated, with its leading "/"
        FileStamp stamp; // of a File
        bool throughLink = false; // a symbolic link lay on the way
    };

    static FileStamp stampOf(const struct stat &info);

    // servedDirectory: absolute, ending with "/".
    explicit PathMapper(const QString &servedDirectory);

    // requestPath: as it stood in the request line, still encoded, after its leading "/".
    Result map(const QByteArray &requestPath) const;

    QString servedDirectory() const { return m_root; }
    // Whether path exists and, its links resolved, lies inside the served directory.
    bool leadsInside(const QString &path) const;

private:
    bool inside(const QString &canonical) const;

    QString m_root; // as given, ending with "/"
    QString m_canonicalRoot; // symbolic links resolved, without the trailing "/"
};
