#pragma once

#include <QString>

// Symbolic names of the Internet client error codes 12001..12036. The table is
// positional: entry i names the code 12000 + i.
namespace InternetErrorNames {

inline constexpr int FirstCode = 12001;
inline constexpr int LastCode = 12036;

// The name of the code, or an empty string when the code has none.
QString name(int code);
// The name lower-cased, as the tools show it (error_internet_cannot_connect).
QString shownName(int code);

} // namespace InternetErrorNames
