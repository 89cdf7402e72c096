#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// A window's dialog units: a horizontal unit is a quarter of its font's average
// character width, a vertical unit an eighth of the font's height. Converted as
// the desktop converts them (to the nearest whole number, halves away from
// zero), and never beyond what the window system takes (Qt's largest window
// size), whatever a damaged value says.
class DialogUnits
{
public:
    DialogUnits(int averageCharWidth, int charHeight);
    // The units of a font's metrics (a QFontMetrics).
    template <typename Metrics> static DialogUnits of(const Metrics &metrics)
    {
        return DialogUnits(metrics.averageCharWidth(), metrics.height());
    }

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QPoint toPixels(const QPoint &units) const;
    QSize toPixels(const QSize &units) const;
    QRect toPixels(const QRect &units) const;
    QRect toUnits(const QRect &pixels) const;

private:
    int m_charWidth;
    int m_charHeight;
};
