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

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
};
