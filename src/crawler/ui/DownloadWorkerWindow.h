#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// A Download worker's small window: "Prekid", the local file once data has been
// written, and the status text. It closes as soon as its file is closed; the
// Crawler window previews the pictures.
class DownloadWorkerWindow : public QWidget
{
    Q_OBJECT

public:
    // hidden: the window stays out of sight while it works ("sakrij download").
    DownloadWorkerWindow(int index, bool hidden, QWidget *parent = nullptr);

public slots:
    void showTitle(const QString &title);
    void showHint(const QString &url);
    void showStatus(const QString &text);
    void showLocalPath(const QString &path);

signals:
    void abortRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_hidden;
    QPushButton *m_abort;
    QLabel *m_localPath;
    QLabel *m_status;
};
