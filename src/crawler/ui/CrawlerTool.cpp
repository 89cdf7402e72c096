#include "crawler/ui/CrawlerTool.h"

#include "crawler/CrawlerEngine.h"
#include "crawler/ui/CrawlerWindow.h"
#include "crawler/ui/DownloadWorkerTool.h"

namespace CrawlerTool {

void connectParts(CrawlerEngine *engine, CrawlerWindow *window)
{
    constexpr auto queued = Qt::QueuedConnection;
    QObject::connect(engine, &CrawlerEngine::fieldsLoaded, window, &CrawlerWindow::showFields, queued);
    QObject::connect(engine, &CrawlerEngine::updated, window, &CrawlerWindow::applyUpdate, queued);
    QObject::connect(window, &CrawlerWindow::fieldsEdited, engine, &CrawlerEngine::setFields, queued);
    QObject::connect(window, &CrawlerWindow::startRequested, engine, &CrawlerEngine::startCrawl, queued);
    QObject::connect(window, &CrawlerWindow::abortRequested, engine, &CrawlerEngine::abortFetch, queued);
    QObject::connect(window, &CrawlerWindow::disconnectRequested, engine, &CrawlerEngine::dropConnection, queued);
    QObject::connect(window, &CrawlerWindow::deleteRequested, engine, &CrawlerEngine::deleteFile, queued);
}

ToolDescriptor descriptor(DownloadWorkerStarter *starter)
{
    ToolDescriptor tool;
    tool.procedureName = CrawlerEngine::procedureName();
    tool.singleInstance = true;
    tool.create = [starter](const QStringList &) {
        auto engine = std::make_unique<CrawlerEngine>(SettingsFile::standard(), QString(), starter);
        auto *window = new CrawlerWindow;
        connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    return tool;
}

ToolDescriptor descriptor()
{
    static ToolHostWorkerStarter starter;
    return descriptor(&starter);
}

} // namespace CrawlerTool
