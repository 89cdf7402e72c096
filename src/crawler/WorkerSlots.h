#pragma once

#include "crawler/DownloadWorkers.h"

#include <QList>

#include <array>

// The Download workers as the Crawler sees them: which file of the local-files
// list each worker it started is writing, and which have ended since it last
// looked (a worker's running mark is free once its file is written and closed).
class WorkerSlots
{
public:
    explicit WorkerSlots(DownloadWorkerStarter *starter);

    // Whether pictures can go to workers at all (the frame opens them).
    bool canStart() const { return m_starter != nullptr; }
    // Claims the first free worker in the order A, B, C, D and starts it on the
    // job, which writes the file of the given row; the worker's index, or -1
    // when all four run.
    int start(DownloadJob job, int fileRow);
    // A worker this crawl started is still writing.
    bool busy() const;
    // The file rows of the workers that have ended since the last call.
    QList<int> takeEnded();
    // Forgets every worker (a new crawl starts with an empty list).
    void forget();

private:
    DownloadWorkerStarter *m_starter;
    std::array<int, DownloadWorkers::Count> m_rows;
    QList<int> m_ended; // rows of jobs whose worker was started again before anyone looked
};
