#pragma once

#include <QString>

// A Download worker's status text: 128 characters, blank padded. Each status
// notification overwrites its first 64 characters with the notification's text
// (blanks for a code without one); the last 64 stay as they were.
class DownloadWorkerStatus
{
public:
    static constexpr int Width = 128;
    static constexpr int NotificationWidth = 64;

    DownloadWorkerStatus();

    void notify(int code);
    // "Error: " and the code over the whole text.
    void setError(int code);
    void clear();

    // The whole field, blank padded.
    const QString &field() const { return m_field; }
    // What the window shows: the field without its trailing blanks.
    QString shown() const;

private:
    QString m_field;
};
