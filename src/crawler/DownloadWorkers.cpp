#include "crawler/DownloadWorkers.h"

#include "platform/InstanceRegistry.h"

QString DownloadWorkers::procedureName(int index)
{
    return QStringLiteral("Http_asy") + QChar(u'A' + index);
}

int DownloadWorkers::claimFree()
{
    for (int index = 0; index < Count; ++index) {
        if (InstanceRegistry::tryClaim(procedureName(index)))
            return index;
    }
    return -1;
}

bool DownloadWorkers::isRunning(int index)
{
    return InstanceRegistry::isClaimed(procedureName(index));
}
