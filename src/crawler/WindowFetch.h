#pragma once

#include "platform/inet/DownloadFile.h"
#include "platform/inet/Validators.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>

namespace inet {
class InternetRequest;
class InternetSession;
struct AsyncResult;
} // namespace inet

// The Crawler's own fetch of one URL into its local file: it opens the URL,
// creates the file when the request handle arrives, and writes each read as it
// completes, until the body has ended, the server has closed the connection, a
// read brought nothing within the read limit, the request failed, or "Prekid"
// ended it. What arrived stays in the file. Every step follows the event that
// allows it; the read limit is looked at on the engine's tick.
class WindowFetch : public QObject
{
    Q_OBJECT

public:
    // The fetch state, as the window's designers numbered it.
    enum State : int {
        WaitingForHandle = 0,
        HandleArrived = 1,
        ReadReady = 2,
        ReadPending = 3,
        DataArrived = 4,
        Ended = 5,
    };

    struct Outcome
    {
        qint64 total = 0; // bytes written to the file
        QString finalUrl; // the address after redirects: the page's references stand on it
        // The server's answer will not change on another try (400 to 499, a redirect loop).
        bool definitive = false;
        // The server said the copy is current (304): the file was left as it was.
        bool notModified = false;
        QByteArray etag;
        QByteArray contentType;
    };

    explicit WindowFetch(QObject *parent = nullptr);
    ~WindowFetch() override;

    // With validators of the local copy, an unchanged file is not fetched again.
    void start(inet::InternetSession &session, const QString &url, const QString &localPath, quintptr context,
        const inet::Validators &validators = {});
    // "Prekid": the fetch ends now, keeping what arrived.
    void abort() { end(); }
    // The fetch is dropped without ending (a new crawl, the window closing).
    void cancel();
    // The engine's tick: a fetch that waited this long for its handle or a read ends.
    void checkReadLimit(std::chrono::milliseconds limit);

    bool isRunning() const { return m_running; }
    int state() const { return m_state; }
    qint64 total() const { return m_total; }
    // Kilobytes (1000 bytes) per second, to one decimal.
    double rate() const { return m_rate; }
    QString localPath() const { return m_localPath; }
    // Of the answer being read: the media type the server gave it.
    QByteArray contentType() const { return m_outcome.contentType; }

signals:
    void status(quintptr context, int code);
    // The request failed (its code), or the local file could not be made or written.
    void requestFailed(int code);
    void fileFailed(int code);
    // Bytes written to the file, in order.
    void received(const QByteArray &bytes);
    void progressed();
    void ended(const WindowFetch::Outcome &outcome);

private:
    void onStatus(quintptr context, int code);
    void onCompleted(quintptr context, const inet::AsyncResult &result);
    void readNext();
    void updateRate();
    void end();
    void closeRequest();

    QPointer<inet::InternetRequest> m_request;
    inet::DownloadFile m_file;
    QString m_localPath;
    quintptr m_context = 0;
    int m_state = WaitingForHandle;
    bool m_running = false;
    Outcome m_outcome;
    QDateTime m_lastModified;
    qint64 m_total = 0;
    double m_rate = 0;
    QElapsedTimer m_fetchClock;
    QElapsedTimer m_readClock;
};

Q_DECLARE_METATYPE(WindowFetch::Outcome)
