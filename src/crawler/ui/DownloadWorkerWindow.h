#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// A Download worker's small window: "Prekid", the local file once data has been
// written, the status text, and with the preview on the finished picture.
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
    void showPicture(const QString &path);

signals:
    void abortRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_hidden;
    QPushButton *m_abort;
    QLabel *m_localPath;
    QLabel *m_status;
    QLabel *m_picture;
};
