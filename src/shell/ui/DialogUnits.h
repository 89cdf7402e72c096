#pragma once

#include <QFontMetrics>
#include <QRect>

// A window's layout in dialog units: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.
namespace DialogUnits {

QRect toPixels(const QFontMetrics &metrics, const QRect &units);

} // namespace DialogUnits
