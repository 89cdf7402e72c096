#include "shell/ui/DialUpTool.h"

#include "shell/DialUpEngine.h"
#include "shell/ui/DialUpWindow.h"

namespace DialUpTool {

void connectParts(DialUpEngine *engine, DialUpWindow *window)
{
    QObject::connect(
        engine, &DialUpEngine::connectionNameLoaded, window, &DialUpWindow::showConnectionName, Qt::QueuedConnection);
    QObject::connect(window, &DialUpWindow::dialRequested, engine, &DialUpEngine::dial, Qt::QueuedConnection);
}

ToolDescriptor descriptor()
{
    ToolDescriptor tool;
    tool.procedureName = DialUpEngine::procedureName();
    tool.create = [](const QStringList &) {
        auto engine = std::make_unique<DialUpEngine>();
        auto *window = new DialUpWindow;
        connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    return tool;
}

} // namespace DialUpTool
