#pragma once

#include <QByteArray>
#include <QString>

// The Central European Windows code page, in which Settings files written on
// Windows hold their Croatian letters.
namespace Windows1250 {

// Bytes below 0x80 are ASCII; the five bytes the code page leaves undefined
// become U+FFFD.
QString decode(const QByteArray &bytes);

} // namespace Windows1250
