#pragma once

#include "platform/ToolDescriptor.h"

class CrawlerEngine;
class CrawlerWindow;
class DownloadWorkerStarter;

// The Crawler as the frame starts it: one window at a time ("Http_asy").
namespace CrawlerTool {

// starter opens the Download workers the engine hands pictures to.
ToolDescriptor descriptor(DownloadWorkerStarter *starter);
// The product's Crawler: workers open through the frame's tool host.
ToolDescriptor descriptor();
// Wires a window to its engine; every connection is queued.
void connectParts(CrawlerEngine *engine, CrawlerWindow *window);

} // namespace CrawlerTool

// The menu item "Http - get URL".
inline ToolDescriptor crawlerTool()
{
    return CrawlerTool::descriptor();
}
