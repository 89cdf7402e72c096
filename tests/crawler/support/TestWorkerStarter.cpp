#include "TestWorkerStarter.h"

#include "crawler/DownloadWorkerEngine.h"
#include "platform/InstanceRegistry.h"

TestWorkerStarter::~TestWorkerStarter()
{
    for (DownloadWorkerEngine *worker : std::as_const(m_live)) {
        worker->stop();
        delete worker;
    }
}

void TestWorkerStarter::startWorker(int index, const DownloadJob &job)
{
    auto *worker = new DownloadWorkerEngine(index, job);
    m_live.insert(worker);
    m_most = std::max(m_most, int(m_live.size()));
    // Each job the worker starts names its URL first.
    connect(worker, &DownloadWorkerEngine::hintChanged, this, [this, worker, index] {
        m_handOvers.append({ index, worker->job() });
    });
    connect(worker, &ToolEngine::closeRequested, this, [this, worker, index, claim = job.claim] {
        m_live.remove(worker);
        worker->stop();
        worker->deleteLater();
        InstanceRegistry::release(DownloadWorkers::procedureName(index), claim);
    });
    // A worker starts on a thread of its own; here it starts once the Crawler's step is over.
    QMetaObject::invokeMethod(worker, &ToolEngine::start, Qt::QueuedConnection);
}
