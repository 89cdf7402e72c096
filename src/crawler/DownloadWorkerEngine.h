#pragma once

#include "crawler/DownloadWorkerStatus.h"
#include "crawler/DownloadWorkers.h"
#include "platform/ToolEngine.h"
#include "platform/inet/AsyncResult.h"
#include "platform/inet/DownloadFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <chrono>

class QTimer;

namespace inet {
class CurlDriver;
class InternetRequest;
class InternetSession;
} // namespace inet

struct DownloadWorkerOptions
{
    // A read that brings nothing for this long ends the transfer.
    std::chrono::milliseconds readLimit { std::chrono::seconds(20) };
    // The worker's clock: it checks the read limit on each tick.
    std::chrono::milliseconds tick { std::chrono::seconds(1) };
    // How long the window stays open for the Crawler's next picture once its file is closed.
    std::chrono::milliseconds waitForNext { std::chrono::seconds(1) };
    // The window is told the status text at most this often (0: every text).
    std::chrono::milliseconds statusInterval { 100 };
};

// One Download worker (A, B, C or D): fetches one URL into one local file,
// driven by the Internet client's notifications, and retries a download that
// brought nothing, up to four attempts in all, unless the server refused it
// (400 to 499, a redirect loop). Once the file is closed its running mark is
// free; the window waits a moment for the Crawler's next picture, which it then
// fetches the same way, before it closes. Transfer states: 0 waiting for
// the request handle, 1 handle arrived, 2 ready to read, 3 read issued,
// 4 data arrived, 5 transfer ended.
class DownloadWorkerEngine : public ToolEngine
{
    Q_OBJECT

public:
    static constexpr int MaxAttempts = 4;

    DownloadWorkerEngine(
        int index, const DownloadJob &job, const DownloadWorkerOptions &options = {}, QObject *parent = nullptr);
    ~DownloadWorkerEngine() override;

    // "... " and the last 35 characters of a long URL; " #n" from the second attempt.
    static QString titleFor(const QString &url, int attempt);
    // "HTTP_A" .. "HTTP_D" and a number from 1 to 10000.
    static QString agentName(int index, int number);

    int state() const { return m_state; }
    // The job the worker is on (or finished last).
    DownloadJob job() const { return m_job; }
    int attemptsMade() const { return m_attempts; }
    qint64 total() const { return m_total; }

public slots:
    // "Prekid": ends the current attempt at once, keeping what was written.
    void abort();

signals:
    void titleChanged(const QString &title);
    void hintChanged(const QString &url);
    void statusChanged(const QString &text);
    void localPathChanged(const QString &path);

protected:
    void onStart() override;
    void onStop() override;

private:
    void startJob(const DownloadJob &job);
    void startAttempt();
    void jobDone();
    void takeHandedJob();
    void endWaiting();
    void releaseMark();
    void onStatus(quintptr context, int code);
    void onCompleted(quintptr context, const inet::AsyncResult &result);
    void advance();
    bool writePending();
    void errorStep(int code);
    void finishAttempt();
    void closeRequest();
    void onTick();
    void showStatus();
    void emitStatus();

    int m_index;
    DownloadJob m_job;
    DownloadWorkerOptions m_options;
    inet::CurlDriver *m_driver = nullptr;
    inet::InternetSession *m_session = nullptr;
    inet::InternetRequest *m_request = nullptr;
    QTimer *m_timer = nullptr;
    QTimer *m_wait = nullptr;
    QTimer *m_statusShown = nullptr;
    bool m_statusPending = false;
    inet::DownloadFile m_file;
    DownloadWorkerStatus m_status;
    QByteArray m_pending;
    QElapsedTimer m_readStart;
    int m_state = 0;
    int m_attempts = 0;
    qint64 m_total = 0;
    bool m_done = false;
    bool m_definitive = false; // the last attempt's answer will not change on another
    QDateTime m_lastModified; // the server's, for the file's time
};
