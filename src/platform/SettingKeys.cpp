#include "platform/SettingKeys.h"

#include <array>

namespace {

constexpr KeyScope Window = KeyScope::PerWindow;
constexpr KeyScope Process = KeyScope::ProcessWide;

constexpr const char *ProxyDefault = "localhost:8001";

// Tool by tool; each tool's first key decides whether its keys are read.
constexpr std::array<SettingKey, 23> Table = { {
    { "HTTPurl", KeyKind::Text, 128, Window, "http://127.0.0.1" },
    { "HTTPproxy", KeyKind::Text, 64, Window, ProxyDefault },
    { "HTTPiproxy", KeyKind::Flag, 0, Window, "0" },
    { "Slike", KeyKind::Flag, 0, Window, "1" },
    { "IEPrew", KeyKind::Flag, 0, Process, "1" },
    { "IEgazi", KeyKind::Flag, 0, Window, "0" },
    { "IElink", KeyKind::Flag, 0, Window, "0" },

    { "SHTTPurl", KeyKind::Text, 254, Window, "http://127.0.0.1" },
    { "SHTTPproxy", KeyKind::Text, 63, Process, ProxyDefault },
    { "SHTTPiproxy", KeyKind::Flag, 0, Window, "0" },
    { "SHTTPlf", KeyKind::Text, 254, Window, "Index.htm" },

    // The served directory's default depends on the machine (~/public_html/):
    // the server passes it as an override.
    { "WShttpPath", KeyKind::Text, 128, Window, "" },
    { "WShttpStr", KeyKind::Text, 128, Window, "default.htm" },
    { "WShttpDel", KeyKind::Integer, 0, Window, "60" },
    { "WShttpDir", KeyKind::Flag, 0, Window, "1" },
    { "WShttpPort", KeyKind::Integer, 0, Window, "80" },

    { "FTPServer", KeyKind::Text, 127, Process, "ftp.gnu.org" },
    { "FTPUser", KeyKind::Text, 63, Process, "Anonymous" },
    { "FTPPassword", KeyKind::Text, 63, Process, "" },
    { "FTPTimeOut", KeyKind::Integer, 0, Process, "15000" },
    // The working directory when the window opens, passed as an override.
    { "FTPPut", KeyKind::Text, 300, Window, "" },
    { "FTPSound", KeyKind::Flag, 0, Process, "1" },
    // The certificates the user trusted, "server=SHA-256" items; kept by the FTP
    // client as it learns them, not with the window's fields.
    { "FTPCert", KeyKind::Text, 1023, Process, "" },
} };

constexpr std::size_t CrawlerFirst = 0, CrawlerCount = 7;
constexpr std::size_t GetterFirst = CrawlerFirst + CrawlerCount, GetterCount = 4;
constexpr std::size_t ServerFirst = GetterFirst + GetterCount, ServerCount = 5;
constexpr std::size_t FtpFirst = ServerFirst + ServerCount, FtpCount = 6;
constexpr std::size_t FtpCertificates = FtpFirst + FtpCount;
static_assert(FtpCertificates + 1 == Table.size());

std::span<const SettingKey> slice(std::size_t first, std::size_t count)
{
    return std::span<const SettingKey>(Table).subspan(first, count);
}

} // namespace

std::span<const SettingKey> SettingKeys::all()
{
    return Table;
}

std::span<const SettingKey> SettingKeys::crawler()
{
    return slice(CrawlerFirst, CrawlerCount);
}

std::span<const SettingKey> SettingKeys::getter()
{
    return slice(GetterFirst, GetterCount);
}

std::span<const SettingKey> SettingKeys::server()
{
    return slice(ServerFirst, ServerCount);
}

std::span<const SettingKey> SettingKeys::ftp()
{
    return slice(FtpFirst, FtpCount);
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
