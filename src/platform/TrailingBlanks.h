#pragma once

#include <QString>
#include <QStringView>

// The text without the blanks (spaces and tabs) at its end: how every value of
// a fixed-width field, a Settings value and a shown line is clipped.
QString withoutTrailingBlanks(QStringView text);
