#include "platform/inet/PartialFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace inet {

namespace {

const QString Suffix = QStringLiteral(".part");
constexpr qsizetype TagLength = 16;

// ".name." + tag + ".part": hidden, in the target's directory so the final
// rename stays on one file system.
QString prefixFor(const QString &fileName)
{
    return u'.' + fileName + u'.';
}

bool isTag(QStringView text)
{
    if (text.size() != TagLength)
        return false;
    for (QChar c : text) {
        if (!c.isDigit() && (c < u'a' || c > u'f'))
            return false;
    }
    return true;
}

} // namespace

PartialFile::PartialFile(const QString &target, const QByteArray &identity)
    : m_target(target)
{
    const QFileInfo info(target);
    const QByteArray tag = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(TagLength);
    m_part.setFileName(info.dir().filePath(prefixFor(info.fileName()) + QString::fromLatin1(tag) + Suffix));
}

PartialFile::~PartialFile()
{
    if (m_committed || !m_part.isOpen())
        return;
    m_part.close();
    // Nothing arrived: there is nothing to continue.
    if (m_size == 0)
        m_part.remove();
}

bool PartialFile::open(bool keep)
{
    removeStale();
    const QIODevice::OpenMode mode
        = keep ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!m_part.open(mode))
        return false;
    m_size = m_part.size();
    const QFileInfo target(m_target);
    if (target.exists())
        m_part.setPermissions(target.permissions());
    return true;
}

qint64 PartialFile::kept() const
{
    return QFileInfo(m_part.fileName()).size();
}

bool PartialFile::write(const char *data, qint64 size)
{
    if (m_part.write(data, size) != size)
        return false;
    m_size += size;
    return true;
}

bool PartialFile::commit()
{
    if (!m_part.isOpen())
        return false;
    const bool flushed = m_part.flush() && m_part.error() == QFileDevice::NoError;
    m_part.close();
    if (!flushed
        || std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_target).constData()) != 0)
        return false;
    m_committed = true;
    return true;
}

void PartialFile::removeStale() const
{
    const QFileInfo info(m_target);
    const QString prefix = prefixFor(info.fileName());
    const QString own = QFileInfo(m_part.fileName()).fileName();
    const QDir directory = info.dir();
    for (const QString &name : directory.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name == own || !name.startsWith(prefix) || !name.endsWith(Suffix))
            continue;
        if (isTag(QStringView(name).sliced(prefix.size(), name.size() - prefix.size() - Suffix.size())))
            QFile::remove(directory.filePath(name));
    }
}

} // namespace inet
