#pragma once

#include <QByteArray>
#include <QString>

// The readers of system facts look at a tree rooted anywhere: "/" in the product,
// a prepared directory in the tests. These helpers place absolute system paths
// under that root and read the small text files of /proc and /sys.
namespace SystemRoot {

// root + absolute ("/proc/net/route" under "/tmp/t" is "/tmp/t/proc/net/route").
QString under(const QString &root, const QString &absolute);
// The whole file, or nothing when it cannot be read (sysfs files may refuse).
QByteArray readFile(const QString &path);
// The file's first line without its line end and surrounding blanks.
QString readFirstLine(const QString &path);

} // namespace SystemRoot
