#pragma once

#include <QtGlobal>

namespace inet {

// How much one read of a transfer (or of a saved page) asks for at most: large
// enough that a fast transfer costs few steps, small enough to bound memory.
inline constexpr qsizetype ReadSize = 64 * 1024;

} // namespace inet
