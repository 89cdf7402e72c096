#pragma once

#include <QList>
#include <QMutex>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class DialogUnits;
class SettingsFile;

// What a placement section holds, in dialog units.
struct StoredPlacement
{
    enum class Maximized { Unknown, Yes, No };
    Maximized maximized = Maximized::Unknown; // Unknown: neither "Yes" nor "No", nothing is applied
    std::optional<QPoint> position; // XPos/YPos, when XPos is not empty
    std::optional<QSize> size; // Width/Height, when both are stored and positive
};

// A window's state at close, in dialog units.
struct WindowState
{
    bool minimized = false;
    bool maximized = false;
    QRect normalGeometry;
    bool resizable = true;
};

// The window-placement store: one process-wide object created before the frame
// opens and released after it closes. It owns the sector list of the section
// __Dont_Touch_Me__ and reads and writes every window's placement section
// (named after the window's procedure name). Thread-safe.
class WindowPlacementStore
{
public:
    // Loads the sector list.
    explicit WindowPlacementStore(const SettingsFile &file);
    // Releases the store if release() was not called.
    ~WindowPlacementStore();

    StoredPlacement stored(const QString &procedureName) const;
    // A minimized window writes nothing; a maximized one only Maximize=Yes.
    // False when the file could not be written.
    bool save(const QString &procedureName, const WindowState &state);

    // Writes the sector list back (Sectors=n, Sectors_1..Sectors_n); a second
    // call writes nothing.
    void release();

    // Each entry holds up to three fields.
    QList<QStringList> sectors() const;

    // Where a window goes, in pixels, by its stored placement: the stored position
    // and, for a resizable window, the stored size (else its current one), in the
    // window's dialog units, fitted into the area that shows it (the screen's, or
    // the MDI area): no larger than the area (nor smaller than the window's
    // minimum), moved in as far as needed to be seen whole. nullopt when no
    // position is stored; an empty area fits nothing.
    static std::optional<QRect> placed(const StoredPlacement &stored, const DialogUnits &units, const QRect &area,
        const QSize &current, const QSize &minimum, bool resizable);

    // The store that main() created, or nullptr (in engine tests).
    static WindowPlacementStore *instance();
    static void setInstance(WindowPlacementStore *store);

    // The list holds at most this many entries, so a damaged count cannot
    // exhaust the memory; only the entries present in the file are kept.
    static constexpr int MaxSectors = 9999;

private:
    mutable QMutex m_mutex;
    QString m_fileName;
    QList<QStringList> m_sectors;
    bool m_released = false;
};
