#pragma once

#include <QString>

// The Croatian texts the asynchronous HTTP tools show for the Internet client's
// status notifications; empty for a code without a text.
namespace InternetStatusText {

QString text(int code);

} // namespace InternetStatusText
