#pragma once

#include "platform/ToolDescriptor.h"

class ServerEngine;
class ServerWindow;

// The HTTP server tool as the frame starts it: one window at a time ("WS_http").
namespace ServerTool {

ToolDescriptor descriptor();
// Wires a window to its engine; every connection is queued.
void connectParts(ServerEngine *engine, ServerWindow *window);

} // namespace ServerTool
