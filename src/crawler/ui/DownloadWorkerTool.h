#pragma once

#include "crawler/DownloadWorkers.h"
#include "platform/ToolDescriptor.h"

// Download worker index (0..3 for A..D). Its arguments: URL, local path, proxy,
// and "1" as a fourth to keep the window hidden while it works.
ToolDescriptor downloadWorkerTool(int index);
QStringList downloadWorkerArguments(const DownloadJob &job);

// Starts claimed workers through the frame's tool host.
class ToolHostWorkerStarter : public DownloadWorkerStarter
{
public:
    void startWorker(int index, const DownloadJob &job) override;
};
