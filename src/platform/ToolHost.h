#pragma once

#include "platform/InstanceRegistry.h"
#include "platform/ToolDescriptor.h"

#include <QStringList>

// Where tool windows are opened: the frame's launcher implements it. Tools that
// start other tools (the Crawler starting Download workers) reach it through
// instance() without depending on the frame.
class ToolHost
{
public:
    virtual ~ToolHost() = default;

    // Safe from any thread: the window opens on the GUI thread. For a
    // single-instance tool whose mark the caller has already claimed, pass the
    // claim (else 0); the host releases it when the window has closed.
    virtual void launch(const ToolDescriptor &tool, const QStringList &arguments, InstanceRegistry::Claim claim) = 0;

    static ToolHost *instance();
    static void setInstance(ToolHost *host);
};
