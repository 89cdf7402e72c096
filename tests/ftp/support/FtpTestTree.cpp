#include "ftp/support/FtpTestTree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTimeZone>

namespace FtpTestTree {

QDateTime smallFileTime()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7), QTimeZone::utc());
}

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    const qint64 words = size / 4;
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), words);
    for (qint64 i = words * 4; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList partials(const QString &directory, const QString &name)
{
    const QString prefix = u'.' + name + u'.';
    QStringList found;
    for (const QString &entry : QDir(directory).entryList(QDir::Files | QDir::Hidden)) {
        if (entry.startsWith(prefix) && entry.endsWith(QStringLiteral(".part")))
            found.append(QDir(directory).filePath(entry));
    }
    return found;
}

QByteArray certificateDigest(const QString &pemPath)
{
    const QByteArray pem = readAll(pemPath);
    const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    const qsizetype from = pem.indexOf(begin);
    const qsizetype to = pem.indexOf("-----END CERTIFICATE-----");
    if (from < 0 || to < from)
        return {};
    const QByteArray der = QByteArray::fromBase64(pem.mid(from + begin.size(), to - from - begin.size()));
    return QCryptographicHash::hash(der, QCryptographicHash::Sha256);
}

bool makeMain(const QString &root, bool withBigFile)
{
    QDir dir(root);
    bool ok = dir.mkpath(QStringLiteral("sub dir/Dublje Ćž"));
    ok = ok && writeFile(dir.filePath(QStringLiteral("empty.txt")), {});
    ok = ok && writeFile(dir.filePath(QStringLiteral("small.bin")), randomBytes(500));
    ok = ok && writeFile(dir.filePath(QStringLiteral("two.bin")), randomBytes(2048));
    ok = ok && writeFile(dir.filePath(QStringLiteral("ReadMe.TXT")), "Citaj me.\r\n");
    ok = ok && writeFile(dir.filePath(QStringLiteral("sub dir/čćžšđ datoteka.txt")), randomBytes(1234));
    ok = ok && writeFile(dir.filePath(QStringLiteral("sub dir/paket.zip")), randomBytes(4096));
    ok = ok && writeFile(dir.filePath(QStringLiteral("sub dir/Dublje Ćž/inner.txt")), "unutra\n");
    if (withBigFile)
        ok = ok && writeFile(dir.filePath(QStringLiteral("big.bin")), randomBytes(BigFileSize));
    QFile small(dir.filePath(QStringLiteral("small.bin")));
    ok = ok && small.open(QIODevice::ReadWrite)
        && small.setFileTime(smallFileTime(), QFileDevice::FileModificationTime);
    return ok;
}

bool makeSecond(const QString &root)
{
    QDir dir(root);
    return dir.mkpath(QStringLiteral("drugi dir")) && writeFile(dir.filePath(QStringLiteral("drugi.txt")), "drugi\n");
}

} // namespace FtpTestTree
