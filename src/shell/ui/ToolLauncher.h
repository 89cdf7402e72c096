#pragma once

#include "platform/ToolHost.h"

#include <QDeadlineTimer>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class EngineThread;
class QMdiArea;
class QThread;
class WindowPlacementStore;

// Opens tool windows in the frame's MDI area and runs their engines, each on a
// new thread. Single-instance tools hold their mark from the start until their
// engine has stopped; a second start brings the open window to the front.
class ToolLauncher : public QObject, public ToolHost
{
    Q_OBJECT

public:
    // Without a store, windows keep no placement.
    ToolLauncher(QMdiArea *area, WindowPlacementStore *placements, QObject *parent = nullptr);
    ~ToolLauncher() override;

    // Safe from any thread; the window opens on the launcher's thread.
    void launch(const ToolDescriptor &tool, const QStringList &arguments, InstanceRegistry::Claim claim) override;

    // Closes every tool window through its normal close: each saves its
    // placement and its engine stops (within the shutdown limit).
    void closeAll();

    // How long a closing window waits for its engine; a stuck engine is left
    // to end on its own. closeAll() gives all engines together this long (each
    // still gets a short moment), so stuck tools cannot add up at exit.
    void setShutdownLimit(std::chrono::milliseconds limit) { m_shutdownLimit = limit; }

    // The open tool windows (as the tools created them), in the order opened.
    QList<QWidget *> openWindows() const;
    // The window's frame: its MDI subwindow, or the window itself when shown on its own.
    QWidget *container(const QWidget *window) const;
    QThread *engineThread(const QWidget *window) const;

signals:
    void windowOpened(QWidget *window);
    void windowClosed();

private:
    struct RunningTool;

    void open(const ToolDescriptor &tool, const QStringList &arguments, InstanceRegistry::Claim claim);
    void wrapInSubWindow(RunningTool &running);
    void showOnItsOwn(RunningTool &running);
    void bringToFront(const QString &procedureName);
    void finish(const QWidget *container);
    void releaseMarkWhenStopped(RunningTool &running, bool stopped);
    RunningTool *find(const QWidget *window) const;
    std::chrono::milliseconds engineStopLimit() const;

    QMdiArea *m_area;
    WindowPlacementStore *m_placements;
    std::chrono::milliseconds m_shutdownLimit { std::chrono::seconds(5) };
    std::optional<QDeadlineTimer> m_closeAllDeadline;
    std::vector<std::unique_ptr<RunningTool>> m_running;
};
