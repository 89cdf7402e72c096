#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The directory trees the FTP tests serve with pyftpdlib.
namespace FtpTestTree {

// The main server's tree:
//   empty.txt (0 bytes), small.bin (500, dated smallFileTime()), two.bin (2,048),
//   ReadMe.TXT, "sub dir/" holding "čćžšđ datoteka.txt" and "paket.zip" and
//   "Dublje Ćž/inner.txt"; with withBigFile also big.bin (50 MB).
bool makeMain(const QString &root, bool withBigFile = false);
// The second server's tree: "drugi.txt" and "drugi dir/".
bool makeSecond(const QString &root);

QDateTime smallFileTime();
inline constexpr qint64 BigFileSize = 50LL * 1024 * 1024;

// Random bytes, so that a misplaced block never compares equal.
QByteArray randomBytes(qint64 size);
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray fileDigest(const QString &path);
QByteArray readAll(const QString &path);

// The hidden partial files a download of `name` left in directory.
QStringList partials(const QString &directory, const QString &name);
// The SHA-256 of the certificate in a PEM file, over its DER bytes.
QByteArray certificateDigest(const QString &pemPath);

} // namespace FtpTestTree
