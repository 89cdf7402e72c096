#include "server/ui/ServerTool.h"

#include "server/ServerEngine.h"
#include "server/ui/ServerWindow.h"

namespace ServerTool {

void connectParts(ServerEngine *engine, ServerWindow *window)
{
    constexpr auto queued = Qt::QueuedConnection;
    QObject::connect(engine, &ServerEngine::fieldsLoaded, window, &ServerWindow::showFields, queued);
    QObject::connect(engine, &ServerEngine::captionChanged, window, &ServerWindow::showCaption, queued);
    QObject::connect(engine, &ServerEngine::portChanged, window, &ServerWindow::showPort, queued);
    QObject::connect(engine, &ServerEngine::logUpdated, window, &ServerWindow::showLog, queued);
    QObject::connect(window, &ServerWindow::directoryEdited, engine, &ServerEngine::setDirectory, queued);
    QObject::connect(window, &ServerWindow::defaultPageEdited, engine, &ServerEngine::setDefaultPage, queued);
    QObject::connect(window, &ServerWindow::delayEdited, engine, &ServerEngine::setDelay, queued);
    QObject::connect(window, &ServerWindow::listingToggled, engine, &ServerEngine::setListingAllowed, queued);
    QObject::connect(window, &ServerWindow::portEdited, engine, &ServerEngine::setPort, queued);
}

ToolDescriptor descriptor()
{
    ToolDescriptor tool;
    tool.procedureName = ServerEngine::procedureName();
    tool.singleInstance = true;
    tool.create = [](const QStringList &) {
        auto engine = std::make_unique<ServerEngine>();
        auto *window = new ServerWindow;
        connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    return tool;
}

} // namespace ServerTool
