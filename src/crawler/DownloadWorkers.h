#pragma once

#include "platform/InstanceRegistry.h"
#include "platform/inet/Validators.h"

#include <QString>

#include <functional>
#include <optional>

class QObject;

// One file for a Download worker to fetch.
struct DownloadJob
{
    QString url;
    QString localPath;
    QString proxy; // empty: a direct connection
    bool hidden = false; // "sakrij download": the window stays hidden while it works
    // The worker's running mark, claimed for this job; the worker frees it once
    // the job's file is written and closed.
    InstanceRegistry::Claim claim = 0;
    // Of the local copy the file replaces: an unchanged file is not fetched again.
    inet::Validators validators {};
};

// The four Download workers A, B, C and D and their running marks, which the
// Crawler reads to find a free worker. A worker's mark is its instance mark in
// the InstanceRegistry: held from the claim until the job's file is closed.
//
// A worker whose file is closed waits a moment in its open window for the next
// job: the Crawler hands the job over instead of opening another window, so a
// crawl of many pictures costs no window per picture.
namespace DownloadWorkers {

inline constexpr int Count = 4;

// "Http_asyA" .. "Http_asyD".
QString procedureName(int index);

struct Claimed
{
    int index = -1; // -1: all four run
    InstanceRegistry::Claim claim = 0;
};
// Claims the first free worker in the order A, B, C, D.
Claimed claimFree();
bool isRunning(int index);

// The worker of this index waits for a job; jobArrived runs on worker's thread
// when one is handed over.
void waitForJob(int index, QObject *worker, std::function<void()> jobArrived);
// Hands a job (whose mark the caller has claimed) to the worker waiting under
// this index; false when none waits.
bool handOver(int index, const DownloadJob &job);
// The job handed to this waiting worker, if one was; the worker waits no longer.
std::optional<DownloadJob> takeJob(int index, const QObject *worker);

} // namespace DownloadWorkers

// Opens a claimed worker's window with its job. Implemented by the frame; safe to
// call from any thread (the Crawler calls it from its engine's thread).
class DownloadWorkerStarter
{
public:
    virtual ~DownloadWorkerStarter() = default;
    virtual void startWorker(int index, const DownloadJob &job) = 0;
};
