#pragma once

#include <QString>

#include <span>

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

// Every key of the file, tool by tool.
std::span<const SettingKey> all();

// One tool's keys; the first is the key whose presence decides whether the
// others are read.
std::span<const SettingKey> crawler(); // HTTPurl ... IEgazi, IElink
std::span<const SettingKey> getter(); // SHTTPurl ... SHTTPlf
std::span<const SettingKey> server(); // WShttpPath ... WShttpDir, WShttpPort
std::span<const SettingKey> ftp(); // FTPServer ... FTPSound
// FTPCert: the FTP client's trusted certificates, read and written on their own.
const SettingKey &ftpCertificates();

const SettingKey *find(const QString &name);

} // namespace SettingKeys
