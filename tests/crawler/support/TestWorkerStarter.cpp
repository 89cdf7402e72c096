#include "TestWorkerStarter.h"

#include "platform/InstanceRegistry.h"
#include "platform/inet/AsyncResult.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/InternetRequest.h"
#include "platform/inet/InternetSession.h"
#include "platform/inet/SessionSettings.h"

#include <QFile>

TestWorkerStarter::TestWorkerStarter()
    : m_driver(std::make_unique<inet::CurlDriver>())
{
    inet::SessionSettings settings;
    settings.agent = QStringLiteral("HTTP_A1");
    m_session = std::make_unique<inet::InternetSession>(*m_driver, settings);
}

TestWorkerStarter::~TestWorkerStarter() = default;

void TestWorkerStarter::startWorker(int index, const DownloadJob &job)
{
    m_handOvers.append({ index, job });
    m_most = std::max(m_most, ++m_running);
    // A worker starts on a thread of its own; here it starts once the Crawler's step is over.
    QMetaObject::invokeMethod(
        this, [this, index, job] { run(index, job); }, Qt::QueuedConnection);
}

void TestWorkerStarter::run(int index, const DownloadJob &job)
{
    auto file = std::make_shared<QFile>(job.localPath);
    if (!file->open(QIODevice::WriteOnly)) {
        done(index);
        return;
    }
    inet::InternetRequest *request = m_session->openUrl(job.url, quintptr(index + 1));
    auto opened = std::make_shared<bool>(false);
    connect(request, &inet::InternetRequest::completed, this,
        [this, index, file, opened, request](quintptr, const inet::AsyncResult &result) {
            const bool openDone = !*opened;
            *opened = true;
            if (result.error != 0 || (!openDone && result.data.isEmpty())) {
                file->close();
                request->close();
                done(index);
                return;
            }
            file->write(result.data);
            request->read(64 * 1024);
        });
}

void TestWorkerStarter::done(int index)
{
    --m_running;
    InstanceRegistry::release(DownloadWorkers::procedureName(index));
}
