#pragma once

#include "crawler/DownloadWorkers.h"

#include <QList>
#include <QObject>

#include <memory>

namespace inet {
class CurlDriver;
class InternetSession;
} // namespace inet

// Stands in for the frame when the Crawler hands a picture over: it records the
// hand-over, fetches the file through the Internet client the way a worker does
// (on the thread it lives on) and frees the worker's running mark once the file
// is written.
class TestWorkerStarter : public QObject, public DownloadWorkerStarter
{
    Q_OBJECT

public:
    TestWorkerStarter();
    ~TestWorkerStarter() override;

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
    void run(int index, const DownloadJob &job);
    void done(int index);

    std::unique_ptr<inet::CurlDriver> m_driver;
    std::unique_ptr<inet::InternetSession> m_session;
    QList<HandOver> m_handOvers;
    int m_running = 0;
    int m_most = 0;
};
