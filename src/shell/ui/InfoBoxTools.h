#pragma once

#include "platform/ToolDescriptor.h"

#include <functional>

// The message-box tools of the "&Help" menu and the Connection check: each
// start opens a further box on its own, whose text an engine gathers.
namespace InfoBoxTools {

ToolDescriptor messageBox(const QString &caption, std::function<QString()> gather);

ToolDescriptor userNameBox();
ToolDescriptor processorBox();
ToolDescriptor drivesBox();

} // namespace InfoBoxTools
