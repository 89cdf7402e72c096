#include "platform/EngineThread.h"

#include "platform/ToolEngine.h"

#include <QMetaObject>
#include <QThread>

EngineThread::EngineThread(std::unique_ptr<ToolEngine> engine, const QString &name)
    : m_thread(std::make_unique<QThread>())
    , m_engine(engine.release())
{
    m_thread->setObjectName(name);
    QObject::connect(m_thread.get(), &QThread::finished, m_engine, &QObject::deleteLater);
}

EngineThread::~EngineThread()
{
    if (!shutdown()) {
        // A stuck engine keeps its thread; the thread object must outlive it.
        QObject::connect(m_thread.get(), &QThread::finished, m_thread.get(), &QObject::deleteLater);
        (void)m_thread.release();
    }
}

void EngineThread::start()
{
    if (m_started)
        return;
    m_started = true;
    m_engine->moveToThread(m_thread.get());
    m_thread->start();
    QMetaObject::invokeMethod(m_engine, &ToolEngine::start, Qt::QueuedConnection);
}

bool EngineThread::shutdown(std::chrono::milliseconds limit)
{
    if (m_finished)
        return true;
    // After an earlier shutdown timed out the thread may have ended since, and
    // with it the engine: nothing may be queued to it any more.
    if (m_started && m_thread->isFinished()) {
        m_finished = true;
        return true;
    }
    if (!m_started) {
        delete m_engine;
        m_finished = true;
        return true;
    }
    QMetaObject::invokeMethod(m_engine, &ToolEngine::stop, Qt::QueuedConnection);
    m_finished = m_thread->wait(QDeadlineTimer(limit));
    return m_finished;
}
