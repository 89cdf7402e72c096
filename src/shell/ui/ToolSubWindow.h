#pragma once

#include <QMdiSubWindow>

// The frame of one tool window in the MDI area. It reports a close that went
// through (the tool's window accepted it) while its geometry is still there to
// be saved.
class ToolSubWindow : public QMdiSubWindow
{
    Q_OBJECT

public:
    explicit ToolSubWindow(QWidget *parent = nullptr);

    // Shows the tool's window and follows its own close: a tool that closes its
    // window closes this frame too, instead of leaving it empty in the MDI area.
    void setToolWindow(QWidget *window);

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
