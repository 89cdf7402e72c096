#include "shell/ui/PlacementAdapter.h"

#include "platform/WindowPlacementStore.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

namespace {

// Where the window can be seen whole: the MDI area of a tool window, the
// screen's available area (without panels) of a top-level one.
QRect showableArea(const QWidget *window)
{
    if (auto *sub = qobject_cast<const QMdiSubWindow *>(window); sub && sub->mdiArea())
        return sub->mdiArea()->viewport()->rect();
    return window->screen() ? window->screen()->availableGeometry() : QRect();
}

} // namespace

PlacementAdapter::PlacementAdapter(WindowPlacementStore &store, const QFontMetrics &metrics)
    : m_store(store)
    , m_units(DialogUnits::of(metrics))
{ }

void PlacementAdapter::restore(const QString &procedureName, QWidget *window, bool resizable) const
{
    const StoredPlacement stored = m_store.stored(procedureName);
    if (stored.maximized == StoredPlacement::Maximized::Unknown)
        return;
    const bool maximize = stored.maximized == StoredPlacement::Maximized::Yes;
    if (!maximize && window->isMaximized())
        window->showNormal();
    if (const auto placed = WindowPlacementStore::placed(
            stored, m_units, showableArea(window), window->size(), window->minimumSize(), resizable)) {
        window->move(placed->topLeft());
        if (resizable && stored.size)
            window->resize(placed->size());
    }
    if (maximize && !window->isMaximized())
        window->showMaximized();
}

void PlacementAdapter::save(const QString &procedureName, const QWidget *window, bool resizable) const
{
    WindowState state;
    state.minimized = window->isMinimized();
    state.maximized = window->isMaximized();
    state.resizable = resizable;
    state.normalGeometry = m_units.toUnits(QRect(window->pos(), window->size()));
    m_store.save(procedureName, state);
}
