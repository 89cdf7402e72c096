#include "server/SystemFacts.h"

#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>

SystemFacts SystemFacts::read()
{
    SystemFacts facts;
    if (const passwd *entry = getpwuid(geteuid()))
        facts.userName = QString::fromLocal8Bit(entry->pw_name);
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        facts.computerName = QString::fromLocal8Bit(host);
    utsname names {};
    if (uname(&names) == 0)
        facts.processorType = processorTypeOf(QString::fromLatin1(names.machine));
    facts.processorVendor = vendorOf(facts.processorType);
    struct sysinfo info
    {
    };
    if (sysinfo(&info) == 0)
        facts.memoryMb = qint64(info.totalram) * qint64(info.mem_unit) / 1024 / 1000;
    return facts;
}

int SystemFacts::processorTypeOf(const QString &machine)
{
    if (machine == u"i386")
        return 386;
    if (machine == u"i486")
        return 486;
    if (machine == u"i586" || machine == u"i686")
        return 586;
    if (machine == u"x86_64")
        return 8664;
    if (machine == u"ppc")
        return 601;
    return 0;
}

QString SystemFacts::vendorOf(int processorType)
{
    switch (processorType) {
    case 386:
    case 486:
    case 586:
        return QStringLiteral("Intel");
    case 601:
        return QStringLiteral("IBM");
    default:
        return QStringLiteral("Unknown");
    }
}
