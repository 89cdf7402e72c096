#include "platform/system/ProcessorFacts.h"

#include "platform/system/SystemRoot.h"

#include <QByteArrayList>

#include <sys/sysinfo.h>
#include <sys/utsname.h>

namespace ProcessorFacts {

int processorType(const QString &machine)
{
    struct Kind
    {
        const char *machine;
        int type;
    };
    static constexpr Kind kinds[] = {
        { "i386", 386 },
        { "i486", 486 },
        { "i586", 586 },
        { "i686", 586 },
        { "x86_64", 8664 },
        { "ppc", 601 },
        { "powerpc", 601 },
    };
    for (const Kind &kind : kinds) {
        if (machine == QLatin1StringView(kind.machine))
            return kind.type;
    }
    return 0;
}

QString machine()
{
    utsname names {};
    if (uname(&names) != 0)
        return {};
    return QString::fromLatin1(names.machine);
}

quint64 totalMemory()
{
    struct sysinfo facts
    {
    };
    if (sysinfo(&facts) != 0)
        return 0;
    return quint64(facts.totalram) * quint64(facts.mem_unit);
}

quint64 totalMemory(const QString &root)
{
    const QByteArray table = SystemRoot::readFile(SystemRoot::under(root, QStringLiteral("/proc/meminfo")));
    for (const QByteArray &line : table.split('\n')) {
        if (!line.startsWith("MemTotal:"))
            continue;
        // "MemTotal:       16315904 kB"
        const QByteArrayList fields = line.mid(9).simplified().split(' ');
        bool ok = false;
        const quint64 kilobytes = fields.value(0).toULongLong(&ok);
        return ok ? kilobytes * 1024 : 0;
    }
    return 0;
}

} // namespace ProcessorFacts
