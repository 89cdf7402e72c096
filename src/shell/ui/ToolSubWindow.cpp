#include "shell/ui/ToolSubWindow.h"

#include <QCloseEvent>
#include <QTimer>

ToolSubWindow::ToolSubWindow(QWidget *parent)
    : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void ToolSubWindow::closeEvent(QCloseEvent *event)
{
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted())
        emit closing();
}

void ToolSubWindow::setToolWindow(QWidget *window)
{
    setWidget(window);
    window->installEventFilter(this);
}

bool ToolSubWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Minimizing also hides the content; only a hide that leaves this frame
    // shown and not minimized is the tool's own close. Judged once the close
    // has run, and never after this frame is gone.
    if (watched == widget() && event->type() == QEvent::Hide) {
        QTimer::singleShot(0, this, [this] {
            if (widget() && widget()->isHidden() && isVisible() && !isMinimized())
                close();
        });
    }
    return QMdiSubWindow::eventFilter(watched, event);
}
