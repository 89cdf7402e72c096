#pragma once

#include "platform/ToolDescriptor.h"

class FtpEngine;
class FtpWindow;

// The FTP client tool as the frame starts it: one window at a time ("Itst").
namespace FtpTool {

ToolDescriptor descriptor();
// Wires a window to its engine; every connection is queued.
void connectParts(FtpEngine *engine, FtpWindow *window);

} // namespace FtpTool
