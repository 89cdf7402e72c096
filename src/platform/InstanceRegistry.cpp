#include "platform/InstanceRegistry.h"

#include <QHash>
#include <QMutex>

namespace {

struct Marks
{
    QMutex mutex;
    QHash<QString, InstanceRegistry::Claim> held;
    InstanceRegistry::Claim last = 0;
};

Marks &marks()
{
    static Marks instance;
    return instance;
}

} // namespace

InstanceRegistry::Claim InstanceRegistry::tryClaim(const QString &procedureName)
{
    QMutexLocker lock(&marks().mutex);
    if (marks().held.contains(procedureName))
        return 0;
    const Claim claim = ++marks().last;
    marks().held.insert(procedureName, claim);
    return claim;
}

void InstanceRegistry::release(const QString &procedureName, Claim claim)
{
    {
        QMutexLocker lock(&marks().mutex);
        const auto held = marks().held.constFind(procedureName);
        if (claim == 0 || held == marks().held.constEnd() || held.value() != claim)
            return;
        marks().held.erase(held);
    }
    emit notifier()->released(procedureName);
}

bool InstanceRegistry::isClaimed(const QString &procedureName)
{
    QMutexLocker lock(&marks().mutex);
    return marks().held.contains(procedureName);
}

InstanceRegistry::Notifier *InstanceRegistry::notifier()
{
    static Notifier instance;
    return &instance;
}
