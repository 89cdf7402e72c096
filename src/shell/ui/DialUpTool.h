#pragma once

#include "platform/ToolDescriptor.h"

class DialUpEngine;
class DialUpWindow;

namespace DialUpTool {

void connectParts(DialUpEngine *engine, DialUpWindow *window);
// A further launcher window on every start; placement under DialUpcall.
ToolDescriptor descriptor();

} // namespace DialUpTool
