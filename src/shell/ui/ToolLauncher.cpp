#include "shell/ui/ToolLauncher.h"

#include "platform/EngineThread.h"
#include "platform/InstanceRegistry.h"
#include "shell/ui/PlacementAdapter.h"
#include "shell/ui/ToolSubWindow.h"

#include <QMdiArea>
#include <QThread>

#include <algorithm>
#include <exception>

struct ToolLauncher::RunningTool
{
    QString procedureName;
    InstanceRegistry::Claim claim = 0; // the instance mark the window holds, if any
    bool topLevel = false;
    bool resizable = true;
    // The tool window's font gives its dialog units, also after the window is gone.
    QFont font;
    QPointer<QWidget> window;
    // Identifies the entry, also while the container is being destroyed.
    const QWidget *key = nullptr;
    QPointer<QWidget> container;
    std::unique_ptr<EngineThread> engine;
};

ToolLauncher::ToolLauncher(QMdiArea *area, WindowPlacementStore *placements, QObject *parent)
    : QObject(parent)
    , m_area(area)
    , m_placements(placements)
{ }

ToolLauncher::~ToolLauncher()
{
    closeAll();
}

void ToolLauncher::launch(const ToolDescriptor &tool, const QStringList &arguments, InstanceRegistry::Claim claim)
{
    auto onOwnThread = [this](auto &&call) {
        if (QThread::currentThread() == thread())
            call();
        else
            QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call), Qt::QueuedConnection);
    };
    if (tool.singleInstance && !claim) {
        claim = InstanceRegistry::tryClaim(tool.procedureName);
        if (!claim) {
            onOwnThread([this, name = tool.procedureName] { bringToFront(name); });
            return;
        }
    }
    onOwnThread([this, tool, arguments, claim] { open(tool, arguments, claim); });
}

void ToolLauncher::open(const ToolDescriptor &tool, const QStringList &arguments, InstanceRegistry::Claim claim)
{
    ToolParts parts;
    try {
        if (tool.create)
            parts = tool.create(arguments);
    } catch (const std::exception &) {
        // A tool that cannot be created opens nothing; the frame goes on.
        parts = {};
    }
    if (!parts.window) {
        parts.engine.reset();
        InstanceRegistry::release(tool.procedureName, claim);
        return;
    }
    auto entry = std::make_unique<RunningTool>();
    entry->procedureName = tool.procedureName;
    entry->claim = claim;
    entry->topLevel = tool.topLevel;
    entry->resizable = parts.window->minimumSize() != parts.window->maximumSize();
    entry->font = parts.window->font();
    entry->window = parts.window;
    if (parts.engine) {
        const QString threadName = tool.procedureName.isEmpty() ? parts.window->windowTitle() : tool.procedureName;
        entry->engine = std::make_unique<EngineThread>(std::move(parts.engine), threadName);
    }
    RunningTool &running = *entry;
    m_running.push_back(std::move(entry));

    // The engine starts before the window is shown: a Download worker is at work
    // while the frame still lays out its window. Its wish to close arrives once
    // this function has returned, when the container exists.
    if (running.engine) {
        connect(
            running.engine->engine(), &ToolEngine::closeRequested, this,
            [this, window = running.window] {
                if (QWidget *frame = container(window))
                    frame->close();
            },
            Qt::QueuedConnection);
        running.engine->start();
    }
    if (running.topLevel)
        showOnItsOwn(running);
    else
        wrapInSubWindow(running);
    emit windowOpened(running.window);
}

void ToolLauncher::wrapInSubWindow(RunningTool &running)
{
    QWidget *window = running.window;
    const bool sized = window->testAttribute(Qt::WA_Resized);
    const QSize designed = window->size();
    auto *sub = new ToolSubWindow;
    sub->setToolWindow(window);
    // A window of one size offers no maximize button.
    if (!running.resizable)
        sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowMaximizeButtonHint);
    // A tool without an icon of its own shows the frame's.
    if (!window->testAttribute(Qt::WA_SetWindowIcon))
        sub->setWindowIcon(m_area->window()->windowIcon());
    m_area->addSubWindow(sub);
    running.key = sub;
    running.container = sub;
    connect(sub, &ToolSubWindow::closing, this, [this, sub] { finish(sub); });
    sub->show();
    // A window that set its own size keeps it as its content's size.
    if (sized)
        sub->resize(sub->size() - window->size() + designed);
    if (m_placements && !running.procedureName.isEmpty())
        PlacementAdapter(*m_placements, QFontMetrics(running.font))
            .restore(running.procedureName, sub, running.resizable);
}

void ToolLauncher::showOnItsOwn(RunningTool &running)
{
    QWidget *window = running.window;
    window->setParent(m_area->window(), window->windowFlags() | Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::NonModal);
    running.key = window;
    running.container = window;
    connect(window, &QObject::destroyed, this, [this, window] { finish(window); });
    window->show();
}

void ToolLauncher::bringToFront(const QString &procedureName)
{
    for (const auto &running : m_running) {
        QWidget *container = running->container;
        if (running->procedureName != procedureName || !container)
            continue;
        if (container->isMinimized())
            container->showNormal();
        if (auto *sub = qobject_cast<QMdiSubWindow *>(container))
            m_area->setActiveSubWindow(sub);
        else
            container->activateWindow();
        container->raise();
        return;
    }
}

void ToolLauncher::closeAll()
{
    m_closeAllDeadline = QDeadlineTimer(m_shutdownLimit);
    // The area maximizes the window it activates after a maximized one closed:
    // each window is to save the state the user left it in, not that one.
    m_area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, true);
    QList<QPointer<QWidget>> containers;
    for (const auto &running : m_running)
        containers.append(running->container);
    for (const QPointer<QWidget> &container : std::as_const(containers)) {
        if (container)
            container->close();
    }
    // A window that refused to close, or one whose deletion is still queued,
    // has its engine stopped all the same.
    while (!m_running.empty())
        finish(m_running.front()->key);
    m_closeAllDeadline.reset();
}

std::chrono::milliseconds ToolLauncher::engineStopLimit() const
{
    // Even after a stuck engine used up the common limit, a sound one gets the
    // moment it needs to stop and save its keys.
    constexpr std::chrono::milliseconds Moment { 250 };
    if (!m_closeAllDeadline)
        return m_shutdownLimit;
    return std::max(Moment, std::chrono::milliseconds(m_closeAllDeadline->remainingTime()));
}

void ToolLauncher::finish(const QWidget *container)
{
    const auto found = std::find_if(m_running.begin(), m_running.end(),
        [container](const std::unique_ptr<RunningTool> &running) { return running->key == container; });
    if (found == m_running.end())
        return;
    std::unique_ptr<RunningTool> running = std::move(*found);
    m_running.erase(found);
    if (!running->topLevel && running->container && m_placements && !running->procedureName.isEmpty()) {
        PlacementAdapter(*m_placements, QFontMetrics(running->font))
            .save(running->procedureName, running->container, running->resizable);
    }
    const bool stopped = !running->engine || running->engine->shutdown(engineStopLimit());
    releaseMarkWhenStopped(*running, stopped);
    emit windowClosed();
}

void ToolLauncher::releaseMarkWhenStopped(RunningTool &running, bool stopped)
{
    if (stopped) {
        InstanceRegistry::release(running.procedureName, running.claim);
        return;
    }
    // A stuck engine keeps its mark until its thread ends. Its EngineThread is
    // let go: destroying it would wait for the engine once more.
    QThread *thread = running.engine->thread();
    (void)running.engine.release();
    if (!running.claim)
        return;
    auto released = std::make_shared<bool>(false);
    auto release = [released, name = running.procedureName, claim = running.claim] {
        if (*released)
            return;
        *released = true;
        InstanceRegistry::release(name, claim);
    };
    connect(thread, &QThread::finished, this, release, Qt::QueuedConnection);
    if (thread->isFinished())
        release();
}

QList<QWidget *> ToolLauncher::openWindows() const
{
    QList<QWidget *> windows;
    for (const auto &running : m_running) {
        if (running->window)
            windows.append(running->window);
    }
    return windows;
}

ToolLauncher::RunningTool *ToolLauncher::find(const QWidget *window) const
{
    for (const auto &running : m_running) {
        if (running->window == window)
            return running.get();
    }
    return nullptr;
}

QWidget *ToolLauncher::container(const QWidget *window) const
{
    const RunningTool *running = find(window);
    return running ? running->container.data() : nullptr;
}

QThread *ToolLauncher::engineThread(const QWidget *window) const
{
    const RunningTool *running = find(window);
    return running && running->engine ? running->engine->thread() : nullptr;
}
