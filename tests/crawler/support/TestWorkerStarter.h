#pragma once

#include "crawler/DownloadWorkers.h"

#include <QList>
#include <QObject>

// Stands in for the frame when the Crawler hands a picture over: it records the
// hand-over and runs the real Download worker engine on the thread it lives on,
// freeing the worker's running mark when the worker asks for its window to close,
// as the frame's launcher does.
class TestWorkerStarter : public QObject, public DownloadWorkerStarter
{
    Q_OBJECT

public:
    void startWorker(int index, const DownloadJob &job) override;

    struct HandOver
    {
        int worker;
        DownloadJob job;
    };
    QList<HandOver> handOvers() const { return m_handOvers; }
    int running() const { return m_running; }
    // The most workers that ran at one time.
    int mostAtOnce() const { return m_most; }

private:
    QList<HandOver> m_handOvers;
    int m_running = 0;
    int m_most = 0;
};
