#include "platform/DescriptorLimit.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/ui/ToolboxFrame.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    DescriptorLimit::raiseSoftLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("torvex"));
    // No display name: Qt would add it to every top-level window's caption on
    // the desktop ("Cpu — Net + by Quorin"), where each caption is the tool's own.
    QApplication::setDesktopFileName(QStringLiteral("torvex"));

    WindowPlacementStore placements(SettingsFile::standard());
    WindowPlacementStore::setInstance(&placements);
    int exitCode = 0;
    {
        ToolboxFrame frame(placements);
        frame.closeOnTerminationSignals();
        // Ends the loop even when a tool's top-level window is still on its way out.
        QObject::connect(&frame, &ToolboxFrame::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        frame.open();
        exitCode = QApplication::exec();
    }
    WindowPlacementStore::setInstance(nullptr);
    placements.release();
    return exitCode;
}
