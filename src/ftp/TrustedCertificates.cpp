#include "ftp/TrustedCertificates.h"

#include "platform/SettingKeys.h"

namespace {

QString keyName()
{
    return QString::fromLatin1(SettingKeys::ftpCertificates().name);
}

QString prefixOf(const QString &server)
{
    return server.toLower() + u'=';
}

} // namespace

TrustedCertificates::TrustedCertificates(const SettingsFile &file)
    : m_file(file)
{ }

QStringList TrustedCertificates::items() const
{
    return m_file.read(SettingsFile::toolSection(), keyName()).split(u' ', Qt::SkipEmptyParts);
}

QByteArray TrustedCertificates::find(const QString &server) const
{
    const QString prefix = prefixOf(server);
    for (const QString &item : items()) {
        if (item.startsWith(prefix, Qt::CaseInsensitive))
            return QByteArray::fromHex(item.mid(prefix.size()).toLatin1());
    }
    return {};
}

bool TrustedCertificates::trust(const QString &server, const QByteArray &digest)
{
    const QString prefix = prefixOf(server);
    QStringList kept;
    for (const QString &item : items()) {
        if (!item.startsWith(prefix, Qt::CaseInsensitive))
            kept.append(item);
    }
    kept.append(prefix + QString::fromLatin1(digest.toHex()));
    const int capacity = SettingKeys::ftpCertificates().capacity;
    while (kept.size() > 1 && kept.join(u' ').size() > capacity)
        kept.removeFirst();
    return m_file.write(SettingsFile::toolSection(), keyName(), kept.join(u' '));
}
