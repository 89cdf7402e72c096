#pragma once

#include <QString>

// The Windows Sockets error numbering the server's log speaks in, carried onto
// POSIX errno values.
namespace SocketErrors {

// The Windows Sockets code for an errno value (EADDRINUSE gives 10048); 0 for 0,
// and the errno itself when there is no counterpart (its name is then unknown).
int winsockCode(int errnoValue);
// The symbolic name of a Windows Sockets code, or "Unknown Error Code".
QString name(int winsockCode);
// name(winsockCode(errnoValue)).
QString nameForErrno(int errnoValue);

} // namespace SocketErrors
