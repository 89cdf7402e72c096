#include "shell/ui/ToolboxFrame.h"

#include "platform/DialogUnits.h"
#include "platform/ToolHost.h"
#include "platform/WindowPlacementStore.h"
#include "shell/widgets/DisplayLabel.h"
#include "shell/ui/FrameMenu.h"
#include "shell/ui/PlacementAdapter.h"
#include "shell/ui/ShellIcons.h"
#include "shell/ui/TerminationSignals.h"
#include "shell/ui/ToolCatalog.h"
#include "shell/ui/ToolLauncher.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>

#include <array>

namespace {

const QString FrameTitle = QStringLiteral("Net + by Quorin");
const QString FrameIcon = QStringLiteral("torvex");
const QString Wallpaper = QStringLiteral("wallpaper");
constexpr int WallpaperTile = 160;

// Widths of status zones 2 to 4 in dialog units; zone 1 takes the rest.
constexpr std::array FixedZoneWidths { 80, 120, 45 };

// What each of the four zones shows, for a screen reader, which reads the zone's text as its name.
const std::array<QString, 4> ZoneDescriptions { QStringLiteral("Opis izabrane stavke"), QStringLiteral("Prazno polje"),
    QStringLiteral("Datum"), QStringLiteral("Vrijeme") };
const QString DesktopName = QStringLiteral("Prozori alata");
const QString MoreMenusName = QStringLiteral("Ostali izbornici");

bool isToolItem(MenuItem item)
{
    const int number = int(item);
    return (number <= int(MenuItem::Crawler) && number >= int(MenuItem::DialUp))
        || (number <= int(MenuItem::UserName) && number >= int(MenuItem::Mail));
}

QString withoutAccelerators(QString caption)
{
    return caption.remove(u'&');
}

} // namespace

ToolboxFrame::ToolboxFrame(WindowPlacementStore &placements, QWidget *parent)
    : QMainWindow(parent)
    , m_placements(placements)
    , m_area(new QMdiArea(this))
{
    setWindowTitle(FrameTitle);
    setWindowIcon(ShellIcons::icon(FrameIcon));
    // Tool windows without an icon of their own show the program's.
    QApplication::setWindowIcon(windowIcon());
    m_area->setAccessibleName(DesktopName);
    m_area->setBackground(QBrush(ShellIcons::pixmap(Wallpaper, QSize(WallpaperTile, WallpaperTile))));
    // A tool window larger than the frame, or placed beyond its edge, is
    // scrolled into view rather than cut off out of reach.
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    m_launcher = std::make_unique<ToolLauncher>(m_area, &m_placements);
    ToolHost::setInstance(m_launcher.get());
    buildMenu();
    buildStatusBar();
    connect(&m_clock, &FrameClock::ticked, this, &ToolboxFrame::showDateAndTime);
}

ToolboxFrame::~ToolboxFrame()
{
    if (ToolHost::instance() == m_launcher.get())
        ToolHost::setInstance(nullptr);
    // The tool windows are children of the MDI area: their engines stop while they still exist.
    m_launcher.reset();
}

void ToolboxFrame::buildMenu()
{
    QMenu *current = nullptr;
    for (const FrameMenuEntry &entry : frameMenuTable()) {
        switch (entry.kind) {
        case FrameMenuEntry::Kind::Menu:
            current = menuBar()->addMenu(entry.caption);
            current->setAccessibleName(withoutAccelerators(entry.caption));
            current->menuAction()->setStatusTip(entry.statusText);
            connect(current, &QMenu::hovered, this, [this](QAction *action) { showStatusText(action->statusTip()); });
            connect(current, &QMenu::aboutToHide, this, [this] { showStatusText({}); });
            if (entry.caption == QStringLiteral("&Window"))
                m_windowMenu = current;
            break;
        case FrameMenuEntry::Kind::Separator:
            current->addSeparator();
            break;
        case FrameMenuEntry::Kind::Item: {
            const MenuItem item = *entry.number;
            QAction *action = current->addAction(entry.caption);
            action->setStatusTip(entry.statusText);
            action->setEnabled(!isToolItem(item) || ToolCatalog::descriptorFor(item).has_value());
            connect(action, &QAction::triggered, this, [this, item] { choose(item); });
            m_actions.insert(item, action);
            break;
        }
        }
    }
    // The button the menu bar shows when the frame is too narrow for all its menus.
    if (auto *more = menuBar()->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(MoreMenusName);
    connect(menuBar(), &QMenuBar::hovered, this, [this](QAction *action) { showStatusText(action->statusTip()); });
    connect(m_windowMenu, &QMenu::aboutToShow, this, &ToolboxFrame::listChildWindows);
}

void ToolboxFrame::buildStatusBar()
{
    for (int zone = 0; zone < int(ZoneDescriptions.size()); ++zone) {
        auto *label = new DisplayLabel(ZoneDescriptions.at(zone), statusBar());
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (zone == 0) {
            // Zone 1 takes the width left over whatever its text: a long status
            // text is cut, it never pushes the other zones over each other.
            label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
            statusBar()->addWidget(label, 1);
        } else {
            label->setFixedWidth(dialogUnitsToPixels(FixedZoneWidths.at(zone - 1)));
            statusBar()->addPermanentWidget(label);
        }
        m_zones.append(label);
    }
}

int ToolboxFrame::dialogUnitsToPixels(int units) const
{
    return DialogUnits::of(fontMetrics()).toPixelsX(units);
}

QLabel *ToolboxFrame::statusZone(int zone) const
{
    return zone >= 1 && zone <= m_zones.size() ? m_zones.at(zone - 1) : nullptr;
}

void ToolboxFrame::closeOnTerminationSignals()
{
    if (m_terminationSignals)
        return;
    m_terminationSignals = new TerminationSignals(this);
    connect(m_terminationSignals, &TerminationSignals::received, this, &ToolboxFrame::closeAfterDialogs);
}

void ToolboxFrame::closeAfterDialogs()
{
    // A tool waiting for the answer of a dialog (a question, a directory
    // chooser) waits in a nested event loop: closing its window under it would
    // destroy the dialog it waits in. Each such dialog is dismissed first, and
    // the frame closes once the tools have had their answers.
    constexpr int Pause = 20; // ms: the nested loops return before the next try
    QWidget *waiting = QApplication::activePopupWidget();
    if (!waiting)
        waiting = QApplication::activeModalWidget();
    if (!waiting) {
        close();
        return;
    }
    if (auto *dialog = qobject_cast<QDialog *>(waiting))
        dialog->reject();
    else
        waiting->close();
    QTimer::singleShot(Pause, this, &ToolboxFrame::closeAfterDialogs);
}

void ToolboxFrame::open()
{
    resize(DialogUnits::of(fontMetrics()).toPixels(designedSize()));
    show();
    PlacementAdapter(m_placements, fontMetrics()).restore(procedureName(), this, true);
    m_opened = true;
    m_clock.start(TimerPeriod);
}

bool ToolboxFrame::event(QEvent *event)
{
    // Status texts go to zone 1, not to the status bar's message line, which would hide the zone.
    if (event->type() == QEvent::StatusTip) {
        showStatusText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void ToolboxFrame::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        m_launcher->closeAll();
        if (m_opened)
            PlacementAdapter(m_placements, fontMetrics()).save(procedureName(), this, true);
        emit closed();
    }
    event->accept();
}

void ToolboxFrame::showStatusText(const QString &text)
{
    m_zones.at(0)->setText(text);
}

void ToolboxFrame::showDateAndTime(const QString &date, const QString &time)
{
    m_zones.at(2)->setText(date);
    m_zones.at(3)->setText(time);
}

void ToolboxFrame::choose(MenuItem item)
{
    switch (item) {
    case MenuItem::PrintSetup:
        printSetup();
        return;
    case MenuItem::Exit:
        close();
        return;
    case MenuItem::Cut:
        editFocused("cut");
        return;
    case MenuItem::Copy:
        editFocused("copy");
        return;
    case MenuItem::Paste:
        editFocused("paste");
        return;
    case MenuItem::Tile:
        m_area->tileSubWindows();
        return;
    case MenuItem::Cascade:
        m_area->cascadeSubWindows();
        return;
    case MenuItem::ArrangeIcons:
        arrangeIcons();
        return;
    default:
        break;
    }
    if (const std::optional<ToolDescriptor> tool = ToolCatalog::descriptorFor(item))
        m_launcher->launch(*tool, {}, 0);
}

void ToolboxFrame::editFocused(const char *operation)
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return;
    const QByteArray signature = QByteArray(operation) + "()";
    if (focused->metaObject()->indexOfMethod(signature.constData()) >= 0)
        QMetaObject::invokeMethod(focused, operation);
}

void ToolboxFrame::arrangeIcons()
{
    const QSize room = m_area->viewport()->size();
    int x = 0;
    int row = 0;
    for (QMdiSubWindow *sub : m_area->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized())
            continue;
        const QSize icon = sub->size();
        if (x > 0 && x + icon.width() > room.width()) {
            x = 0;
            ++row;
        }
        sub->move(x, room.height() - (row + 1) * icon.height());
        x += icon.width();
    }
}

void ToolboxFrame::listChildWindows()
{
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> children = m_area->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty())
        return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    int number = 0;
    for (QMdiSubWindow *child : children) {
        QString title = child->windowTitle();
        title.replace(u'&', QStringLiteral("&&"));
        QAction *entry = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(++number).arg(title));
        entry->setCheckable(true);
        entry->setChecked(child == m_area->activeSubWindow());
        connect(entry, &QAction::triggered, this, [this, child = QPointer<QMdiSubWindow>(child)] {
            if (!child)
                return;
            if (child->isMinimized())
                child->showNormal();
            m_area->setActiveSubWindow(child);
        });
        m_windowListActions.append(entry);
    }
}

void ToolboxFrame::printSetup()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    auto *dialog = new QPrintDialog(m_printer.get(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
