#include "TestWorkerStarter.h"

#include "crawler/DownloadWorkerEngine.h"
#include "platform/InstanceRegistry.h"

void TestWorkerStarter::startWorker(int index, const DownloadJob &job)
{
    m_handOvers.append({ index, job });
    m_most = std::max(m_most, ++m_running);
    auto *worker = new DownloadWorkerEngine(index, job);
    connect(worker, &ToolEngine::closeRequested, this, [this, worker, index] {
        worker->stop();
        worker->deleteLater();
        --m_running;
        InstanceRegistry::release(DownloadWorkers::procedureName(index));
    });
    // A worker starts on a thread of its own; here it starts once the Crawler's step is over.
    QMetaObject::invokeMethod(worker, &ToolEngine::start, Qt::QueuedConnection);
}
