#pragma once

#include <QObject>

// Base of every tool's engine: the QtCore object that holds a tool's logic and
// state and lives on a thread of its own. Its window talks to it only through
// queued signals and slots.
class ToolEngine : public QObject
{
    Q_OBJECT

public:
    explicit ToolEngine(QObject *parent = nullptr);
    ~ToolEngine() override;

public slots:
    // Called on the engine's thread once the thread runs.
    void start();
    // Called on the engine's thread when the window closes: the engine saves its
    // settings and closes its handles, then its thread ends.
    void stop();

signals:
    // The engine wants its window closed (a finished download, a failed start).
    void closeRequested();
    // stop() has run; emitted on the engine's thread just before it ends.
    void stopped();

protected:
    virtual void onStart() {}
    virtual void onStop() {}

private:
    bool m_stopped = false;
};
