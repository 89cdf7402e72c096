#pragma once

#include "crawler/CrawlerEngine.h"
#include "crawler/CrawlerUpdate.h"

#include <QIcon>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The Crawler window "HTTP": the start URL and proxy, the progress of the
// current fetch, the event log and the local-files list. It shows what the
// engine sends and forwards the user's choices; it does no I/O of its own.
class CrawlerWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CrawlerWindow(QWidget *parent = nullptr);

    // Asks the user before a local file is deleted; tests answer for the user.
    using Confirmation = std::function<bool(const QString &path)>;
    void setConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }

    CrawlerEngine::Fields fields() const;
    QString statusText() const;
    QString filesHeader() const;
    QTreeWidget *eventLog() const { return m_log; }
    QTreeWidget *localFiles() const { return m_files; }

    QIcon fileIcon(int icon) const;

public slots:
    void showFields(const CrawlerEngine::Fields &fields);
    void applyUpdate(const CrawlerUpdate &update);

signals:
    void fieldsEdited(const CrawlerEngine::Fields &fields);
    void startRequested();
    void abortRequested();
    void disconnectRequested();
    void deleteRequested(const QString &path);

private:
    void sendFields();
    void showPreviewState();
    void deleteSelected();
    void applyFiles(const CrawlerUpdate &update);
    void applyLog(const CrawlerUpdate &update);
    void applyPreview(const CrawlerUpdate &update);

    QLineEdit *m_address = nullptr;
    QCheckBox *m_useProxy = nullptr;
    QLineEdit *m_proxy = nullptr;
    QLineEdit *m_status = nullptr;
    QLineEdit *m_bytes = nullptr;
    QLineEdit *m_rate = nullptr;
    QLineEdit *m_pageNumber = nullptr;
    QCheckBox *m_hideWorkers = nullptr;
    QCheckBox *m_pictures = nullptr;
    QCheckBox *m_preview = nullptr;
    QCheckBox *m_overwrite = nullptr;
    QCheckBox *m_convertLinks = nullptr;
    QLabel *m_picture = nullptr;
    QTreeWidget *m_log = nullptr;
    QTreeWidget *m_files = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_abort = nullptr;
    QPushButton *m_disconnect = nullptr;
    QPushButton *m_delete = nullptr;
    std::array<QIcon, 5> m_icons;
    Confirmation m_confirm;
    bool m_showingFields = false;
    int m_errorItems = 0;
};
