#pragma once

// The blanks that separate names and values in markup and in stylesheets:
// HTML's ASCII whitespace, which CSS shares.
constexpr bool isMarkupSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
