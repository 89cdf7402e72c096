#include "platform/system/UserIdentity.h"

#include "platform/system/SystemRoot.h"

#include <QByteArrayList>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace UserIdentity {

QString userName()
{
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 1024);
    passwd entry {};
    passwd *found = nullptr;
    int result = 0;
    // A database entry longer than the suggested size asks for a larger buffer.
    while ((result = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE
        && buffer.size() < (size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    if (result != 0 || !found || !found->pw_name)
        return {};
    return QString::fromLocal8Bit(found->pw_name);
}

QString userName(const QString &root, uint uid)
{
    const QByteArray table = SystemRoot::readFile(SystemRoot::under(root, QStringLiteral("/etc/passwd")));
    const QByteArray wanted = QByteArray::number(uid);
    for (const QByteArray &line : table.split('\n')) {
        const QByteArrayList fields = line.split(':');
        if (fields.size() >= 3 && fields.at(2) == wanted)
            return QString::fromLocal8Bit(fields.at(0));
    }
    return {};
}

QString computerName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QString computerName(const QString &root)
{
    return SystemRoot::readFirstLine(SystemRoot::under(root, QStringLiteral("/proc/sys/kernel/hostname")));
}

} // namespace UserIdentity
