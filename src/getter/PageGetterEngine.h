#pragma once

#include "getter/PageGetterValues.h"
#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"
#include "platform/inet/DownloadFile.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <chrono>
#include <memory>

class QTimer;

namespace inet {
class SyncRequest;
}

struct PageGetterOptions
{
    std::chrono::milliseconds tick { std::chrono::seconds(1) };
    // A server that brings nothing for this long, before or during the body,
    // ends the download with the time-out error instead of holding the window.
    std::chrono::milliseconds readLimit { std::chrono::seconds(20) };
    // How long a failure stays readable in the status before the window closes.
    std::chrono::milliseconds failureHold { std::chrono::milliseconds(1500) };
};

// The Page getter: downloads one URL into one local file with a synchronous
// request, reading continuously on its own thread in short slices (so its event
// loop stays free) and reporting its progress once a tick.
class PageGetterEngine : public ToolEngine
{
    Q_OBJECT

public:

    explicit PageGetterEngine(const SettingsFile &settings = SettingsFile::standard(),
        const PageGetterOptions &options = {}, QObject *parent = nullptr);
    ~PageGetterEngine() override;

    static QString agentName();
    // "k/s": kilobytes (of 1000 bytes) per second; "%": of the range.
    static QString rateText(qint64 total, qint64 elapsedMs);
    static QString percentText(qint64 total, qint64 range);

public slots:
    void setValues(const PageGetterValues &values);
    void startDownload();
    // "Prekid".
    void cancel();

signals:
    void valuesLoaded(const PageGetterValues &values);
    void statusChanged(const QString &text);
    // Once a tick while downloading, and once at the end. The range is the size
    // the server announced, else the largest total so far; bytes is "total/range",
    // and the percentage reaches 100% only once the file holds every byte.
    void progress(qint64 total, qint64 range, const QString &bytes, const QString &percent, const QString &rate);
    void writeFailed();

protected:
    void onStart() override;
    void onStop() override;

private:
    void pump();
    void schedulePump();
    bool waitedTooLong();
    void fail(int error);
    void endDownload();
    void failWrite();
    void closeHandles();
    void reportProgress(bool complete);

    SettingsFile m_file;
    PageGetterOptions m_options;
    ToolSettings m_settings;
    std::unique_ptr<inet::SyncRequest> m_request;
    inet::DownloadFile m_local;
    QTimer *m_timer = nullptr;
    QByteArray m_buffer;
    QElapsedTimer m_started;
    QElapsedTimer m_lastData; // since the start or the last bytes read
    qint64 m_total = 0;
    qint64 m_largest = 0;
    qint64 m_announced = -1; // the size the server announced, -1 for none
    bool m_opening = false;
    bool m_downloading = false;
    bool m_pumpQueued = false;
};
