#pragma once

#include "shell/ui/FrameClock.h"
#include "shell/ui/MenuItem.h"

#include <QList>
#include <QMainWindow>
#include <QMap>

#include <memory>

class QLabel;
class QMdiArea;
class QMenu;
class QPrinter;
class TerminationSignals;
class ToolLauncher;
class WindowPlacementStore;

// The program's main window: an MDI frame whose menu starts every tool, with
// the date and time in its status bar. Its launcher is the process's ToolHost
// while the frame exists.
class ToolboxFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit ToolboxFrame(WindowPlacementStore &placements, QWidget *parent = nullptr);
    ~ToolboxFrame() override;

    // SIGTERM and SIGINT close the frame as the close box does, once the
    // dialogs the tools wait in are dismissed.
    void closeOnTerminationSignals();
    // Shows the frame at its designed size, then applies its stored placement,
    // and starts the clock.
    void open();

    ToolLauncher &launcher() const { return *m_launcher; }
    QMdiArea *mdiArea() const { return m_area; }
    FrameClock &clock() { return m_clock; }
    // Zones 1 to 4 of the status bar.
    QLabel *statusZone(int zone) const;
    QAction *action(MenuItem item) const { return m_actions.value(item); }
    QMenu *windowMenu() const { return m_windowMenu; }

    static QString procedureName() { return QStringLiteral("Main"); }
    // In dialog units.
    static QSize designedSize() { return { 310, 190 }; }
    // In hundredths of a second.
    static constexpr int TimerPeriod = 100;

signals:
    // The frame has closed every tool window and saved its placement.
    void closed();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void closeAfterDialogs();
    void buildMenu();
    void buildStatusBar();
    void choose(MenuItem item);
    void showStatusText(const QString &text);
    void showDateAndTime(const QString &date, const QString &time);
    void editFocused(const char *operation);
    void arrangeIcons();
    void listChildWindows();
    void printSetup();
    int dialogUnitsToPixels(int units) const;

    WindowPlacementStore &m_placements;
    QMdiArea *m_area;
    std::unique_ptr<ToolLauncher> m_launcher;
    FrameClock m_clock;
    QList<QLabel *> m_zones;
    QMap<MenuItem, QAction *> m_actions;
    QMenu *m_windowMenu = nullptr;
    QList<QAction *> m_windowListActions;
    std::unique_ptr<QPrinter> m_printer;
    TerminationSignals *m_terminationSignals = nullptr;
    bool m_opened = false;
    bool m_closed = false;
};
