#include "crawler/WorkerSlots.h"

#include <utility>

WorkerSlots::WorkerSlots(DownloadWorkerStarter *starter)
    : m_starter(starter)
{
    m_rows.fill(-1);
}

int WorkerSlots::start(DownloadJob job, int fileRow)
{
    if (!m_starter)
        return -1;
    const DownloadWorkers::Claimed claimed = DownloadWorkers::claimFree();
    const int worker = claimed.index;
    if (worker < 0)
        return -1;
    // The worker's earlier job has ended, since its mark was free.
    if (m_rows[worker] >= 0)
        m_ended.append(m_rows[worker]);
    m_rows[worker] = fileRow;
    job.claim = claimed.claim;
    // A worker window still open after its last file takes the job; else a new one opens.
    if (!DownloadWorkers::handOver(worker, job))
        m_starter->startWorker(worker, job);
    return worker;
}

bool WorkerSlots::busy() const
{
    for (int index = 0; index < DownloadWorkers::Count; ++index) {
        if (m_rows[index] >= 0 && DownloadWorkers::isRunning(index))
            return true;
    }
    return false;
}

QList<int> WorkerSlots::takeEnded()
{
    QList<int> ended = std::exchange(m_ended, {});
    for (int index = 0; index < DownloadWorkers::Count; ++index) {
        if (m_rows[index] >= 0 && !DownloadWorkers::isRunning(index)) {
            ended.append(m_rows[index]);
            m_rows[index] = -1;
        }
    }
    return ended;
}

void WorkerSlots::forget()
{
    m_rows.fill(-1);
    m_ended.clear();
}
