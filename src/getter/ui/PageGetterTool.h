#pragma once

#include "platform/ToolDescriptor.h"

// "Http - get page": a new Page getter window on every start.
ToolDescriptor pageGetterTool();
