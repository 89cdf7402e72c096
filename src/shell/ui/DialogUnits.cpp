#include "shell/ui/DialogUnits.h"

namespace DialogUnits {

QRect toPixels(const QFontMetrics &metrics, const QRect &units)
{
    const int charWidth = qMax(1, metrics.averageCharWidth());
    const int charHeight = qMax(1, metrics.height());
    const auto x = [charWidth](int value) { return (value * charWidth + 2) / 4; };
    const auto y = [charHeight](int value) { return (value * charHeight + 4) / 8; };
    return { x(units.x()), y(units.y()), x(units.width()), y(units.height()) };
}

} // namespace DialogUnits
