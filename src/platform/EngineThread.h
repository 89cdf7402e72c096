#pragma once

#include <QString>

#include <chrono>
#include <memory>

class QThread;
class ToolEngine;

// Runs one engine on a thread of its own: start() moves the engine there and
// starts it; shutdown() asks it to stop and waits for the thread to end. The
// engine is deleted on its own thread when the thread finishes.
class EngineThread
{
public:
    EngineThread(std::unique_ptr<ToolEngine> engine, const QString &name);
    ~EngineThread();
    EngineThread(const EngineThread &) = delete;
    EngineThread &operator=(const EngineThread &) = delete;

    ToolEngine *engine() const { return m_engine; }
    QThread *thread() const { return m_thread.get(); }

    void start();
    // Returns false when the engine did not end within the limit; the thread is
    // then left to end on its own (a stuck tool never blocks the caller for ever).
    bool shutdown(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    std::unique_ptr<QThread> m_thread;
    ToolEngine *m_engine;
    bool m_started = false;
    bool m_finished = false;
};
