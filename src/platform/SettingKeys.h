#pragma once

#include <QString>

#include <cstddef>
#include <span>
#include <string_view>

// The complete table of the tools' keys in section "Torvex Settings", in the
// order each tool reads and writes them.
enum class KeyKind { Text, Flag, Integer };
// Process-wide variables are shared by all windows of one tool: a later window
// opens with what an earlier one left.
enum class KeyScope { PerWindow, ProcessWide };

struct SettingKey
{
    const char *name;
    KeyKind kind;
    int capacity; // characters, for text keys
    KeyScope scope;
    const char *defaultValue; // as stored text; tools fill in defaults that depend on the machine
};

namespace SettingKeys {

inline constexpr const char *ProxyDefault = "localhost:8001";

// Tool by tool, each tool's keys together, its first key first: the one whose
// presence decides whether the others are read. A new key is one more row.
inline constexpr SettingKey Table[] = {
    { "HTTPurl", KeyKind::Text, 128, KeyScope::PerWindow, "http://127.0.0.1" },
    { "HTTPproxy", KeyKind::Text, 64, KeyScope::PerWindow, ProxyDefault },
    { "HTTPiproxy", KeyKind::Flag, 0, KeyScope::PerWindow, "0" },
    { "Slike", KeyKind::Flag, 0, KeyScope::PerWindow, "1" },
    { "IEPrew", KeyKind::Flag, 0, KeyScope::ProcessWide, "1" },
    { "IEgazi", KeyKind::Flag, 0, KeyScope::PerWindow, "0" },
    { "IElink", KeyKind::Flag, 0, KeyScope::PerWindow, "0" },

    { "SHTTPurl", KeyKind::Text, 254, KeyScope::PerWindow, "http://127.0.0.1" },
    { "SHTTPproxy", KeyKind::Text, 63, KeyScope::ProcessWide, ProxyDefault },
    { "SHTTPiproxy", KeyKind::Flag, 0, KeyScope::PerWindow, "0" },
    { "SHTTPlf", KeyKind::Text, 254, KeyScope::PerWindow, "Index.htm" },

    // The served directory's default depends on the machine (~/public_html/):
    // the server passes it as an override.
    { "WShttpPath", KeyKind::Text, 128, KeyScope::PerWindow, "" },
    { "WShttpStr", KeyKind::Text, 128, KeyScope::PerWindow, "default.htm" },
    { "WShttpDel", KeyKind::Integer, 0, KeyScope::PerWindow, "60" },
    { "WShttpDir", KeyKind::Flag, 0, KeyScope::PerWindow, "1" },
    { "WShttpPort", KeyKind::Integer, 0, KeyScope::PerWindow, "80" },

    { "FTPServer", KeyKind::Text, 127, KeyScope::ProcessWide, "ftp.gnu.org" },
    { "FTPUser", KeyKind::Text, 63, KeyScope::ProcessWide, "Anonymous" },
    { "FTPPassword", KeyKind::Text, 63, KeyScope::ProcessWide, "" },
    { "FTPTimeOut", KeyKind::Integer, 0, KeyScope::ProcessWide, "15000" },
    // The working directory when the window opens, passed as an override.
    { "FTPPut", KeyKind::Text, 300, KeyScope::PerWindow, "" },
    { "FTPSound", KeyKind::Flag, 0, KeyScope::ProcessWide, "1" },
    // The certificates the user trusted, "server=SHA-256" items; kept by the FTP
    // client as it learns them, not with the window's fields.
    { "FTPCert", KeyKind::Text, 1023, KeyScope::ProcessWide, "" },
};

inline constexpr std::size_t Count = std::size(Table);

// The row of a key, by its exact name; Count for a name the table lacks.
constexpr std::size_t indexOf(std::string_view name)
{
    for (std::size_t i = 0; i < Count; ++i) {
        if (name == Table[i].name)
            return i;
    }
    return Count;
}

// Every key of the file, tool by tool.
std::span<const SettingKey> all();

// One tool's keys, from its first key to the next tool's.
std::span<const SettingKey> crawler(); // HTTPurl ... IEgazi, IElink
std::span<const SettingKey> getter(); // SHTTPurl ... SHTTPlf
std::span<const SettingKey> server(); // WShttpPath ... WShttpDir, WShttpPort
std::span<const SettingKey> ftp(); // FTPServer ... FTPSound
// FTPCert: the FTP client's trusted certificates, read and written on their own.
const SettingKey &ftpCertificates();

// Case-insensitively, as the file matches keys; nullptr for none.
const SettingKey *find(const QString &name);

} // namespace SettingKeys

// A key of the table, named in the code: a name the table lacks (a misspelt
// key) does not compile.
class SettingName
{
public:
    consteval SettingName(const char *name)
        : m_index(SettingKeys::indexOf(name))
    {
        if (m_index == SettingKeys::Count)
            throw "not a key of the Settings file"; // stops the build: no constant expression
    }

    // The name of a row found at run time (by SettingKeys::find), never of a string.
    static SettingName of(const SettingKey &row) { return SettingName(std::size_t(&row - SettingKeys::Table)); }

    const SettingKey &key() const { return SettingKeys::Table[m_index]; }

private:
    explicit constexpr SettingName(std::size_t index)
        : m_index(index)
    { }

    std::size_t m_index;
};
