#pragma once

#include "platform/system/NetworkLink.h"

#include <QString>

// The text of the Connection check's box: a status line and a link-speed line,
// each a blank-padded field of 32 characters.
namespace ConnectionCheckText {

QString caption();

// "Status: ON Line" or "Status: OFF Line", padded.
QString statusField(bool onLine);
// "Link Speed: N bps" for a speed in units of 100 bps, padded; blank for 0.
QString speedField(quint64 hundredsOfBps);
// Mbit/s in units of 100 bps.
quint64 hundredsOfBps(quint64 megabits);

// No default route: both lines blank; its interface down: "Status: OFF Line"
// and a blank second line; up at an unknown speed: a blank second line.
QString text(const NetworkLink &link);

} // namespace ConnectionCheckText
