#include "platform/DialogUnits.h"

#include <algorithm>

namespace {

constexpr int UnitsPerCharWidth = 4;
constexpr int UnitsPerCharHeight = 8;
// Qt's largest window size (QWIDGETSIZE_MAX); positions are bounded alike, so
// the edges of any rectangle made of them stay within an int.
constexpr qint64 PixelLimit = (1 << 24) - 1;

int scaled(int value, int numerator, int denominator)
{
    const qint64 product = qint64(value) * numerator;
    const qint64 half = denominator / 2;
    const qint64 rounded = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return int(std::clamp<qint64>(rounded, -PixelLimit, PixelLimit));
}

} // namespace

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : m_charWidth(std::max(1, averageCharWidth))
    , m_charHeight(std::max(1, charHeight))
{ }

int DialogUnits::toPixelsX(int units) const
{
    return scaled(units, m_charWidth, UnitsPerCharWidth);
}

int DialogUnits::toPixelsY(int units) const
{
    return scaled(units, m_charHeight, UnitsPerCharHeight);
}

QPoint DialogUnits::toPixels(const QPoint &units) const
{
    return { toPixelsX(units.x()), toPixelsY(units.y()) };
}

QSize DialogUnits::toPixels(const QSize &units) const
{
    return { toPixelsX(units.width()), toPixelsY(units.height()) };
}

QRect DialogUnits::toPixels(const QRect &units) const
{
    return { toPixels(units.topLeft()), toPixels(units.size()) };
}

QRect DialogUnits::toUnits(const QRect &pixels) const
{
    return { scaled(pixels.x(), UnitsPerCharWidth, m_charWidth), scaled(pixels.y(), UnitsPerCharHeight, m_charHeight),
        scaled(pixels.width(), UnitsPerCharWidth, m_charWidth),
        scaled(pixels.height(), UnitsPerCharHeight, m_charHeight) };
}
