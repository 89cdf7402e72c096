#include "crawler/ui/DownloadWorkerTool.h"

#include "crawler/DownloadWorkerEngine.h"
#include "crawler/ui/DownloadWorkerWindow.h"
#include "platform/InstanceRegistry.h"
#include "platform/ToolHost.h"

namespace {

const QString HiddenMark = QStringLiteral("1");

DownloadJob jobFrom(const QStringList &arguments)
{
    DownloadJob job;
    job.url = arguments.value(0);
    job.localPath = arguments.value(1);
    job.proxy = arguments.value(2);
    job.hidden = arguments.value(3) == HiddenMark;
    job.claim = arguments.value(4).toULongLong();
    job.validators.modifiedSince = QDateTime::fromString(arguments.value(5), Qt::ISODateWithMs);
    job.validators.etag = arguments.value(6).toUtf8();
    return job;
}

} // namespace

QStringList downloadWorkerArguments(const DownloadJob &job)
{
    return { job.url, job.localPath, job.proxy, job.hidden ? HiddenMark : QString(), QString::number(job.claim),
        job.validators.modifiedSince.toString(Qt::ISODateWithMs), QString::fromUtf8(job.validators.etag) };
}

ToolDescriptor downloadWorkerTool(int index)
{
    ToolDescriptor tool;
    tool.procedureName = DownloadWorkers::procedureName(index);
    tool.singleInstance = true;
    tool.create = [index](const QStringList &arguments) {
        const DownloadJob job = jobFrom(arguments);
        auto engine = std::make_unique<DownloadWorkerEngine>(index, job);
        auto *window = new DownloadWorkerWindow(index, job.hidden);
        DownloadWorkerEngine *core = engine.get();
        QObject::connect(core, &DownloadWorkerEngine::titleChanged, window, &DownloadWorkerWindow::showTitle);
        QObject::connect(core, &DownloadWorkerEngine::hintChanged, window, &DownloadWorkerWindow::showHint);
        QObject::connect(core, &DownloadWorkerEngine::statusChanged, window, &DownloadWorkerWindow::showStatus);
        QObject::connect(core, &DownloadWorkerEngine::localPathChanged, window, &DownloadWorkerWindow::showLocalPath);
        QObject::connect(window, &DownloadWorkerWindow::abortRequested, core, &DownloadWorkerEngine::abort);
        return ToolParts { std::move(engine), window };
    };
    return tool;
}

void ToolHostWorkerStarter::startWorker(int index, const DownloadJob &job)
{
    ToolHost *host = ToolHost::instance();
    if (!host) {
        // Nowhere to open it: the claimed mark must not stay held for ever.
        InstanceRegistry::release(DownloadWorkers::procedureName(index), job.claim);
        return;
    }
    host->launch(downloadWorkerTool(index), downloadWorkerArguments(job), job.claim);
}
