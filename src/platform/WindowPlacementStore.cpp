#include "platform/WindowPlacementStore.h"

#include "platform/DialogUnits.h"
#include "platform/SettingsFile.h"

#include <algorithm>
#include <atomic>

namespace {

const QString SectorSection = QStringLiteral("__Dont_Touch_Me__");
const QString SectorCountKey = QStringLiteral("Sectors");
const QString MaximizeKey = QStringLiteral("Maximize");
const QString XPosKey = QStringLiteral("XPos");
const QString YPosKey = QStringLiteral("YPos");
const QString WidthKey = QStringLiteral("Width");
const QString HeightKey = QStringLiteral("Height");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

constexpr int FieldsPerSector = 3;
constexpr qsizetype FieldLimit = 100;

std::atomic<WindowPlacementStore *> currentStore { nullptr };

QString sectorKey(qsizetype index)
{
    return SectorCountKey + u'_' + QString::number(index);
}

QStringList sectorFields(const QString &text)
{
    QStringList fields = text.split(u',').mid(0, FieldsPerSector);
    for (QString &field : fields)
        field.truncate(FieldLimit);
    return fields;
}

} // namespace

WindowPlacementStore::WindowPlacementStore(const SettingsFile &file)
    : m_fileName(file.resolvedPath())
{
    const SettingsFile settings(m_fileName);
    const int count = qBound(0, settings.readNumber(SectorSection, SectorCountKey), MaxSectors);
    QStringList keys;
    for (int i = 1; i <= count; ++i)
        keys.append(sectorKey(i));
    // A count beyond the entries present keeps those that are (a missing one
    // among them reads as empty), never padding up to the count.
    const QList<std::optional<QString>> entries = settings.readPresent(SectorSection, keys);
    const auto last
        = std::find_if(entries.crbegin(), entries.crend(), [](const auto &entry) { return entry.has_value(); });
    for (auto entry = entries.cbegin(); entry != last.base(); ++entry)
        m_sectors.append(sectorFields(entry->value_or(QString())));
}

WindowPlacementStore::~WindowPlacementStore()
{
    release();
    WindowPlacementStore *self = this;
    currentStore.compare_exchange_strong(self, nullptr);
}

StoredPlacement WindowPlacementStore::stored(const QString &procedureName) const
{
    const SettingsFile settings(m_fileName);
    const QStringList values = settings.readMany(procedureName, { MaximizeKey, XPosKey, YPosKey, WidthKey, HeightKey });
    StoredPlacement placement;
    if (values.at(0).compare(Yes, Qt::CaseInsensitive) == 0)
        placement.maximized = StoredPlacement::Maximized::Yes;
    else if (values.at(0).compare(No, Qt::CaseInsensitive) == 0)
        placement.maximized = StoredPlacement::Maximized::No;
    else
        return placement;
    if (!values.at(1).isEmpty())
        placement.position = QPoint(SettingsFile::numericValue(values.at(1)), SettingsFile::numericValue(values.at(2)));
    const QSize size(SettingsFile::numericValue(values.at(3)), SettingsFile::numericValue(values.at(4)));
    // A window cut to nothing by a missing or damaged key is worse than one at its designed size.
    if (size.width() > 0 && size.height() > 0)
        placement.size = size;
    return placement;
}

bool WindowPlacementStore::save(const QString &procedureName, const WindowState &state)
{
    if (state.minimized)
        return true;
    QList<QPair<QString, QString>> entries { { MaximizeKey, state.maximized ? Yes : No } };
    if (!state.maximized) {
        entries.append({ XPosKey, QString::number(state.normalGeometry.x()) });
        entries.append({ YPosKey, QString::number(state.normalGeometry.y()) });
        if (state.resizable) {
            entries.append({ HeightKey, QString::number(state.normalGeometry.height()) });
            entries.append({ WidthKey, QString::number(state.normalGeometry.width()) });
        }
    }
    SettingsFile settings(m_fileName);
    return settings.writeMany(procedureName, entries);
}

void WindowPlacementStore::release()
{
    QMutexLocker locker(&m_mutex);
    if (m_released)
        return;
    m_released = true;
    QList<QPair<QString, QString>> entries { { SectorCountKey, QString::number(m_sectors.size()) } };
    for (qsizetype i = 0; i < m_sectors.size(); ++i)
        entries.append({ sectorKey(i + 1), m_sectors.at(i).join(u',') });
    SettingsFile settings(m_fileName);
    settings.writeMany(SectorSection, entries);
}

std::optional<QRect> WindowPlacementStore::placed(const StoredPlacement &stored, const DialogUnits &units,
    const QRect &area, const QSize &current, const QSize &minimum, bool resizable)
{
    if (!stored.position)
        return std::nullopt;
    const QRect wanted(
        units.toPixels(*stored.position), resizable && stored.size ? units.toPixels(*stored.size) : current);
    if (area.isEmpty())
        return wanted;
    const int width = std::max(std::min(wanted.width(), area.width()), minimum.width());
    const int height = std::max(std::min(wanted.height(), area.height()), minimum.height());
    // Where the window is wider than the area, its left edge stays in sight.
    const int x = std::max(area.left(), std::min(wanted.x(), area.left() + area.width() - width));
    const int y = std::max(area.top(), std::min(wanted.y(), area.top() + area.height() - height));
    return QRect(x, y, width, height);
}

QList<QStringList> WindowPlacementStore::sectors() const
{
    QMutexLocker locker(&m_mutex);
    return m_sectors;
}

WindowPlacementStore *WindowPlacementStore::instance()
{
    return currentStore.load();
}

void WindowPlacementStore::setInstance(WindowPlacementStore *store)
{
    currentStore.store(store);
}
