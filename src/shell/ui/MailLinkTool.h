#pragma once

#include "platform/ToolDescriptor.h"

namespace MailLinkTool {

// A further Mail link window on every start; placement under MailShell. The
// window has no engine: its one action is handed to the desktop's mail handler.
ToolDescriptor descriptor();

} // namespace MailLinkTool
