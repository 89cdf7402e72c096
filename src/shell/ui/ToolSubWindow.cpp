#include "shell/ui/ToolSubWindow.h"

#include <QCloseEvent>

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
