#pragma once

#include "platform/ToolDescriptor.h"
#include "shell/ui/MenuItem.h"

#include <optional>

// The tools the frame's menu starts, by menu item. An item without a
// descriptor belongs to a tool that is not part of this build; the frame
// shows it disabled.
namespace ToolCatalog {

std::optional<ToolDescriptor> descriptorFor(MenuItem item);

} // namespace ToolCatalog
