#pragma once

#include <QString>

// The four Download workers A, B, C and D and their running marks, which the
// Crawler reads to find a free worker. A worker's mark is its instance mark in
// the InstanceRegistry, held from the claim until its window has closed.
struct DownloadJob
{
    QString url;
    QString localPath;
    QString proxy; // empty: a direct connection
    bool hidden = false; // "sakrij download": the window stays hidden while it works
};

namespace DownloadWorkers {

inline constexpr int Count = 4;

// "Http_asyA" .. "Http_asyD".
QString procedureName(int index);
// Claims the first free worker in the order A, B, C, D; its index, or -1 when all four run.
int claimFree();
bool isRunning(int index);

} // namespace DownloadWorkers

// Opens a claimed worker's window with its job. Implemented by the frame; safe to
// call from any thread (the Crawler calls it from its engine's thread).
class DownloadWorkerStarter
{
public:
    virtual ~DownloadWorkerStarter() = default;
    virtual void startWorker(int index, const DownloadJob &job) = 0;
};
