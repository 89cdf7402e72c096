#include "platform/SettingKeys.h"

namespace {

constexpr std::size_t CrawlerFirst = SettingKeys::indexOf("HTTPurl");
constexpr std::size_t GetterFirst = SettingKeys::indexOf("SHTTPurl");
constexpr std::size_t ServerFirst = SettingKeys::indexOf("WShttpPath");
constexpr std::size_t FtpFirst = SettingKeys::indexOf("FTPServer");
constexpr std::size_t FtpCertificates = SettingKeys::indexOf("FTPCert");
static_assert(CrawlerFirst == 0 && CrawlerFirst < GetterFirst && GetterFirst < ServerFirst && ServerFirst < FtpFirst
    && FtpFirst < FtpCertificates && FtpCertificates + 1 == SettingKeys::Count);

std::span<const SettingKey> slice(std::size_t first, std::size_t end)
{
    return std::span<const SettingKey>(SettingKeys::Table).subspan(first, end - first);
}

} // namespace

std::span<const SettingKey> SettingKeys::all()
{
    return Table;
}

std::span<const SettingKey> SettingKeys::crawler()
{
    return slice(CrawlerFirst, GetterFirst);
}

std::span<const SettingKey> SettingKeys::getter()
{
    return slice(GetterFirst, ServerFirst);
}

std::span<const SettingKey> SettingKeys::server()
{
    return slice(ServerFirst, FtpFirst);
}

std::span<const SettingKey> SettingKeys::ftp()
{
    return slice(FtpFirst, FtpCertificates);
}

const SettingKey &SettingKeys::ftpCertificates()
{
    return Table[FtpCertificates];
}

const SettingKey *SettingKeys::find(const QString &name)
{
    for (const SettingKey &key : Table) {
        if (name.compare(QLatin1StringView(key.name), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}
