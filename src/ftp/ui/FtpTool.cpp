#include "ftp/ui/FtpTool.h"

#include "ftp/FtpEngine.h"
#include "ftp/ui/FtpWindow.h"

namespace FtpTool {

void connectParts(FtpEngine *engine, FtpWindow *window)
{
    constexpr auto queued = Qt::QueuedConnection;
    QObject::connect(engine, &FtpEngine::fieldsLoaded, window, &FtpWindow::showFields, queued);
    QObject::connect(engine, &FtpEngine::statusChanged, window, &FtpWindow::showStatus, queued);
    QObject::connect(engine, &FtpEngine::captionChanged, window, &FtpWindow::showCaption, queued);
    QObject::connect(engine, &FtpEngine::rowsChanged, window, &FtpWindow::showRows, queued);
    QObject::connect(engine, &FtpEngine::transferringChanged, window, &FtpWindow::setTransferring, queued);
    QObject::connect(engine, &FtpEngine::beepRequested, window, &FtpWindow::beep, queued);
    QObject::connect(engine, &FtpEngine::certificateQuestion, window, &FtpWindow::askAboutCertificate, queued);
    QObject::connect(engine, &FtpEngine::certificateChanged, window, &FtpWindow::warnOfChangedCertificate, queued);
    QObject::connect(window, &FtpWindow::fieldsEdited, engine, &FtpEngine::setFields, queued);
    QObject::connect(window, &FtpWindow::connectRequested, engine, &FtpEngine::connectToServer, queued);
    QObject::connect(window, &FtpWindow::rowActivated, engine, &FtpEngine::openRow, queued);
    QObject::connect(window, &FtpWindow::downloadRequested, engine, &FtpEngine::downloadRow, queued);
    QObject::connect(window, &FtpWindow::stopRequested, engine, &FtpEngine::stopDownload, queued);
    QObject::connect(window, &FtpWindow::certificateAnswered, engine, &FtpEngine::answerCertificate, queued);
}

ToolDescriptor descriptor()
{
    ToolDescriptor tool;
    tool.procedureName = FtpEngine::procedureName();
    tool.singleInstance = true;
    tool.create = [](const QStringList &) {
        auto engine = std::make_unique<FtpEngine>();
        auto *window = new FtpWindow;
        connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    return tool;
}

} // namespace FtpTool
