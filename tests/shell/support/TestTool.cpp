#include "TestTool.h"

#include <QVBoxLayout>

TestEngine::TestEngine(std::shared_ptr<TestToolLog> log)
    : m_log(std::move(log))
{ }

void TestEngine::onStart()
{
    QMutexLocker lock(&m_log->mutex);
    m_log->startThreads.append(QThread::currentThread());
    ++m_log->started;
}

void TestEngine::onStop()
{
    if (m_log->stopGate)
        m_log->stopGate->acquire();
    ++m_log->stopped;
}

TestWindow::TestWindow(const QString &title)
    : m_field(new QLineEdit(this))
{
    setWindowTitle(title);
    m_field->setAccessibleName(QStringLiteral("Polje"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_field);
    resize(240, 120);
}

ToolDescriptor testTool(const QString &procedureName, bool singleInstance, std::shared_ptr<TestToolLog> log)
{
    ToolDescriptor tool;
    tool.procedureName = procedureName;
    tool.singleInstance = singleInstance;
    tool.create = [log, procedureName](const QStringList &) {
        ++log->created;
        ToolParts parts;
        parts.engine = std::make_unique<TestEngine>(log);
        parts.window = new TestWindow(procedureName);
        return parts;
    };
    return tool;
}
