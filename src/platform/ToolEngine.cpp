#include "platform/ToolEngine.h"

#include <QCoreApplication>
#include <QThread>

ToolEngine::ToolEngine(QObject *parent)
    : QObject(parent)
{
}

ToolEngine::~ToolEngine() = default;

void ToolEngine::start()
{
    onStart();
}

void ToolEngine::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    onStop();
    emit stopped();
    // An engine driven on the application's thread (as in engine tests) keeps it.
    QThread *own = thread();
    if (own && (!QCoreApplication::instance() || own != QCoreApplication::instance()->thread()))
        own->quit();
}
