#pragma once

#include <QString>

// The author's e-mail address: the status text of the "E- mail" menu item and
// the address the Mail link window opens.
inline QString authorAddress()
{
    return QStringLiteral("quorin@example.org");
}
