#include "crawler/ui/DownloadWorkerWindow.h"

#include "shell/widgets/DisplayLabel.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString FirstTitle = QStringLiteral("Http (async.)");
const QString OtherTitle = QStringLiteral("HTTP (async.)");
const QString AbortText = QStringLiteral("Prekid");
const QString AbortHint = QStringLiteral("Prekid veze");
const QString LocalPathName = QStringLiteral("Lokalna datoteka");
const QString StatusName = QStringLiteral("Status");

} // namespace

DownloadWorkerWindow::DownloadWorkerWindow(int index, bool hidden, QWidget *parent)
    : QWidget(parent)
    , m_hidden(hidden)
{
    setWindowTitle(index == 0 ? FirstTitle : OtherTitle);
    m_abort = new QPushButton(AbortText);
    m_abort->setToolTip(AbortHint);
    m_abort->setCursor(Qt::PointingHandCursor);
    QFont small = m_abort->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_abort->setFont(small);
    m_localPath = new DisplayLabel(LocalPathName);
    m_localPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status = new DisplayLabel(StatusName);

    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(m_abort);
    top->addWidget(m_status, 1);
    layout->addLayout(top);
    layout->addWidget(m_localPath);
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    connect(m_abort, &QPushButton::clicked, this, &DownloadWorkerWindow::abortRequested);
}

void DownloadWorkerWindow::showTitle(const QString &title)
{
    setWindowTitle(title);
}

void DownloadWorkerWindow::showHint(const QString &url)
{
    setToolTip(url);
    m_abort->setToolTip(url);
}

void DownloadWorkerWindow::showStatus(const QString &text)
{
    m_status->setText(text);
}

void DownloadWorkerWindow::showLocalPath(const QString &path)
{
    if (m_localPath->text() != path)
        m_localPath->setText(path);
}

void DownloadWorkerWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_hidden)
        return;
    // The frame shows the window's container; hide that once it is up.
    QTimer::singleShot(0, this, [this] {
        QWidget *container = parentWidget() ? parentWidget() : this;
        container->hide();
    });
}
