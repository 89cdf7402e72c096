#include "platform/InstanceRegistry.h"

#include <QMutex>
#include <QSet>

namespace {

struct Marks
{
    QMutex mutex;
    QSet<QString> held;
};

Marks &marks()
{
    static Marks instance;
    return instance;
}

} // namespace

bool InstanceRegistry::tryClaim(const QString &procedureName)
{
    QMutexLocker lock(&marks().mutex);
    if (marks().held.contains(procedureName))
        return false;
    marks().held.insert(procedureName);
    return true;
}

void InstanceRegistry::release(const QString &procedureName)
{
    bool held = false;
    {
        QMutexLocker lock(&marks().mutex);
        held = marks().held.remove(procedureName);
    }
    if (held)
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
