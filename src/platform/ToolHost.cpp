#include "platform/ToolHost.h"

#include <atomic>

namespace {
std::atomic<ToolHost *> currentHost{nullptr};
}

ToolHost *ToolHost::instance()
{
    return currentHost.load();
}

void ToolHost::setInstance(ToolHost *host)
{
    currentHost.store(host);
}
