#include "crawler/DownloadWorkers.h"

#include <QMetaObject>
#include <QMutex>
#include <QObject>

#include <array>

namespace {

struct Waiting
{
    const QObject *worker = nullptr;
    std::function<void()> jobArrived;
    std::optional<DownloadJob> job;
};

struct WaitingWorkers
{
    QMutex mutex;
    std::array<Waiting, DownloadWorkers::Count> workers;
};

WaitingWorkers &waiting()
{
    static WaitingWorkers instance;
    return instance;
}

} // namespace

QString DownloadWorkers::procedureName(int index)
{
    return QStringLiteral("Http_asy") + QChar(u'A' + index);
}

DownloadWorkers::Claimed DownloadWorkers::claimFree()
{
    for (int index = 0; index < Count; ++index) {
        if (const InstanceRegistry::Claim claim = InstanceRegistry::tryClaim(procedureName(index)))
            return { index, claim };
    }
    return {};
}

bool DownloadWorkers::isRunning(int index)
{
    return InstanceRegistry::isClaimed(procedureName(index));
}

void DownloadWorkers::waitForJob(int index, QObject *worker, std::function<void()> jobArrived)
{
    QMutexLocker lock(&waiting().mutex);
    waiting().workers[index] = { worker, std::move(jobArrived), std::nullopt };
}

bool DownloadWorkers::handOver(int index, const DownloadJob &job)
{
    QMutexLocker lock(&waiting().mutex);
    Waiting &slot = waiting().workers[index];
    if (!slot.worker || slot.job)
        return false;
    slot.job = job;
    // The worker is still waiting, so it still exists: its own stop takes the job back.
    QMetaObject::invokeMethod(const_cast<QObject *>(slot.worker), slot.jobArrived, Qt::QueuedConnection);
    return true;
}

std::optional<DownloadJob> DownloadWorkers::takeJob(int index, const QObject *worker)
{
    QMutexLocker lock(&waiting().mutex);
    Waiting &slot = waiting().workers[index];
    if (slot.worker != worker)
        return std::nullopt;
    std::optional<DownloadJob> job = std::move(slot.job);
    slot = {};
    return job;
}
