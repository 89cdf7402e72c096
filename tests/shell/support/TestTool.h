#pragma once

#include "platform/ToolDescriptor.h"
#include "platform/ToolEngine.h"

#include <QLineEdit>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <memory>

// What the test tools report: where their engines ran and whether they stopped.
struct TestToolLog
{
    std::atomic<int> created { 0 };
    std::atomic<int> started { 0 };
    std::atomic<int> stopped { 0 };
    QMutex mutex;
    QList<QThread *> startThreads;
    // Set: the engines' stop blocks until it is released (a stuck tool).
    std::shared_ptr<QSemaphore> stopGate;
};

class TestEngine : public ToolEngine
{
    Q_OBJECT

public:
    explicit TestEngine(std::shared_ptr<TestToolLog> log);

    // Asks the frame to close this engine's window, as a finished tool does.
    void requestClose() { emit closeRequested(); }

protected:
    void onStart() override;
    void onStop() override;

private:
    std::shared_ptr<TestToolLog> m_log;
};

// A small tool window with one entry field, at a size of its own.
class TestWindow : public QWidget
{
    Q_OBJECT

public:
    explicit TestWindow(const QString &title);
    QLineEdit *field() const { return m_field; }

private:
    QLineEdit *m_field;
};

ToolDescriptor testTool(const QString &procedureName, bool singleInstance, std::shared_ptr<TestToolLog> log);
