#pragma once

#include "platform/ToolDescriptor.h"

namespace ConnectionCheckTool {

// The "Internet veza" box: is the link of the default route up, and how fast.
ToolDescriptor descriptor();

} // namespace ConnectionCheckTool
