#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;
class WindowPlacementStore;

// Window placement in dialog units, applied to a real window: a top-level
// window or a QMdiSubWindow. One horizontal dialog unit is a quarter of the
// window font's average character width, one vertical unit an eighth of its
// height.
class PlacementAdapter
{
public:
    PlacementAdapter(WindowPlacementStore &store, const QFontMetrics &metrics);

    QRect toPixels(const QRect &units) const;
    QSize toPixels(const QSize &units) const;
    QRect toDialogUnits(const QRect &pixels) const;

    // Applies the stored placement of the window, which is already shown: the
    // normal geometry first, then the stored maximized state.
    void restore(const QString &procedureName, QWidget *window, bool resizable) const;
    // A minimized window writes nothing; a maximized one only that it was.
    void save(const QString &procedureName, const QWidget *window, bool resizable) const;

private:
    int toPixelsX(int units) const;
    int toPixelsY(int units) const;

    WindowPlacementStore &m_store;
    int m_charWidth;
    int m_charHeight;
};
