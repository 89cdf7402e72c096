#pragma once

#include "platform/ToolEngine.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

// What the frame needs to start a tool: its engine (moved to a thread of its own)
// and its window (shown in the frame's MDI area). create() runs on the GUI thread
// and connects the window to the engine; the engine is started after the window
// has opened and stopped when the window closes.
struct ToolParts
{
    std::unique_ptr<ToolEngine> engine;
    QWidget *window = nullptr;
};

struct ToolDescriptor
{
    // Names the window's placement section; for single-instance tools also the
    // instance mark. Empty: the window keeps no placement.
    QString procedureName;
    bool singleInstance = false;
    // The window is shown on its own, outside the MDI area, and not modal (the
    // message boxes); its engine is started and stopped like any other.
    bool topLevel = false;
    std::function<ToolParts(const QStringList &arguments)> create;
};
