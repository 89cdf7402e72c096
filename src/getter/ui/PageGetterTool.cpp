#include "getter/ui/PageGetterTool.h"

#include "getter/PageGetterEngine.h"
#include "getter/ui/PageGetterWindow.h"

ToolDescriptor pageGetterTool()
{
    ToolDescriptor tool;
    tool.procedureName = QStringLiteral("Http_syn");
    tool.create = [](const QStringList &) {
        auto engine = std::make_unique<PageGetterEngine>();
        auto *window = new PageGetterWindow;
        PageGetterEngine *core = engine.get();
        QObject::connect(core, &PageGetterEngine::valuesLoaded, window, &PageGetterWindow::showValues);
        QObject::connect(core, &PageGetterEngine::statusChanged, window, &PageGetterWindow::showStatus);
        QObject::connect(core, &PageGetterEngine::progress, window, &PageGetterWindow::showProgress);
        QObject::connect(core, &PageGetterEngine::writeFailed, window, &PageGetterWindow::showWriteFailed);
        QObject::connect(window, &PageGetterWindow::valuesEdited, core, &PageGetterEngine::setValues);
        QObject::connect(window, &PageGetterWindow::startRequested, core, &PageGetterEngine::startDownload);
        QObject::connect(window, &PageGetterWindow::cancelRequested, core, &PageGetterEngine::cancel);
        return ToolParts{std::move(engine), window};
    };
    return tool;
}
