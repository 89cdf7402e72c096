#include "shell/ui/PlacementAdapter.h"

#include "platform/WindowPlacementStore.h"

#include <QWidget>

#include <algorithm>

namespace {

constexpr int UnitsPerCharWidth = 4;
constexpr int UnitsPerCharHeight = 8;

// Rounds to the nearest whole number, as the conversion of the desktop's
// dialog units does.
int scale(int value, int numerator, int denominator)
{
    const qint64 product = qint64(value) * numerator;
    const qint64 half = denominator / 2;
    return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

PlacementAdapter::PlacementAdapter(WindowPlacementStore &store, const QFontMetrics &metrics)
    : m_store(store)
    , m_charWidth(std::max(1, metrics.averageCharWidth()))
    , m_charHeight(std::max(1, metrics.height()))
{ }

int PlacementAdapter::toPixelsX(int units) const
{
    return scale(units, m_charWidth, UnitsPerCharWidth);
}

int PlacementAdapter::toPixelsY(int units) const
{
    return scale(units, m_charHeight, UnitsPerCharHeight);
}

QRect PlacementAdapter::toPixels(const QRect &units) const
{
    return { toPixelsX(units.x()), toPixelsY(units.y()), toPixelsX(units.width()), toPixelsY(units.height()) };
}

QSize PlacementAdapter::toPixels(const QSize &units) const
{
    return { toPixelsX(units.width()), toPixelsY(units.height()) };
}

QRect PlacementAdapter::toDialogUnits(const QRect &pixels) const
{
    return { scale(pixels.x(), UnitsPerCharWidth, m_charWidth), scale(pixels.y(), UnitsPerCharHeight, m_charHeight),
        scale(pixels.width(), UnitsPerCharWidth, m_charWidth),
        scale(pixels.height(), UnitsPerCharHeight, m_charHeight) };
}

void PlacementAdapter::restore(const QString &procedureName, QWidget *window, bool resizable) const
{
    const StoredPlacement stored = m_store.stored(procedureName);
    if (stored.maximized == StoredPlacement::Maximized::Unknown)
        return;
    const bool maximize = stored.maximized == StoredPlacement::Maximized::Yes;
    if (!maximize && window->isMaximized())
        window->showNormal();
    if (stored.position) {
        window->move(toPixelsX(stored.position->x()), toPixelsY(stored.position->y()));
        if (resizable && stored.size)
            window->resize(toPixels(*stored.size));
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
    state.normalGeometry = toDialogUnits(QRect(window->pos(), window->size()));
    m_store.save(procedureName, state);
}
