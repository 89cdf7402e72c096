#pragma once

#include "platform/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

class QWidget;
class WindowPlacementStore;

// Window placement in dialog units, applied to a real window: a top-level
// window or a QMdiSubWindow, in the dialog units of the window's font.
class PlacementAdapter
{
public:
    PlacementAdapter(WindowPlacementStore &store, const QFontMetrics &metrics);

    // Applies the stored placement of the window, which is already shown: the
    // normal geometry first, fitted into what can show it (the screen's
    // available area, or the MDI area), then the stored maximized state.
    void restore(const QString &procedureName, QWidget *window, bool resizable) const;
    // A minimized window writes nothing; a maximized one only that it was.
    void save(const QString &procedureName, const QWidget *window, bool resizable) const;

private:
    WindowPlacementStore &m_store;
    DialogUnits m_units;
};
