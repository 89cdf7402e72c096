#pragma once

#include "crawler/DownloadWorkers.h"

#include <QList>
#include <QObject>
#include <QSet>

class DownloadWorkerEngine;

// Stands in for the frame when the Crawler hands a picture over: it runs the
// real Download worker engine on the thread it lives on, records every job a
// worker takes (in a new window or handed to a waiting one), and closes a
// worker's "window" when the worker asks, freeing its claim as the frame's
// launcher does.
class TestWorkerStarter : public QObject, public DownloadWorkerStarter
{
    Q_OBJECT

public:
    ~TestWorkerStarter() override;
    void startWorker(int index, const DownloadJob &job) override;

    struct HandOver
    {
        int worker;
        DownloadJob job;
    };
    // Every job a worker took, in order.
    QList<HandOver> handOvers() const { return m_handOvers; }
    // Worker windows open now, and the most that were open at one time.
    int running() const { return int(m_live.size()); }
    int mostAtOnce() const { return m_most; }

private:
    QList<HandOver> m_handOvers;
    QSet<DownloadWorkerEngine *> m_live;
    int m_most = 0;
};
