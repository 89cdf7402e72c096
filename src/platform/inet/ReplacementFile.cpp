#include "platform/inet/ReplacementFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

namespace inet {

ReplacementFile::ReplacementFile(const QString &target)
    : m_target(target)
{ }

ReplacementFile::~ReplacementFile()
{
    if (!m_committed && m_part.isOpen()) {
        m_part.close();
        m_part.remove();
    }
}

bool ReplacementFile::open()
{
    const QFileInfo target(m_target);
    // A hidden name in the target's directory, so the final rename stays on one file system.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name
            = u'.' + target.fileName() + u".part-" + QString::number(QRandomGenerator::global()->generate(), 36);
        m_part.setFileName(target.dir().filePath(name));
        if (m_part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (target.exists())
                m_part.setPermissions(target.permissions());
            return true;
        }
        if (!target.dir().exists())
            return false;
    }
    return false;
}

bool ReplacementFile::write(const char *data, qint64 size)
{
    return m_part.write(data, size) == size;
}

bool ReplacementFile::commit()
{
    if (!m_part.isOpen())
        return false;
    const bool flushed = m_part.flush() && m_part.error() == QFileDevice::NoError;
    m_part.close();
    if (!flushed
        || std::rename(QFile::encodeName(m_part.fileName()).constData(), QFile::encodeName(m_target).constData())
            != 0) {
        m_part.remove();
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace inet
