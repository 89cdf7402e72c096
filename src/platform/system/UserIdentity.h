#pragma once

#include <QString>

// Who is running the program and on which computer.
namespace UserIdentity {

// The password database's name for the real user id; empty when it has none.
QString userName();
// The name of uid in the etc/passwd file under root; empty when it is not listed.
QString userName(const QString &root, uint uid);

// The host name (gethostname); empty when it cannot be had.
QString computerName();
// The host name in proc/sys/kernel/hostname under root.
QString computerName(const QString &root);

} // namespace UserIdentity
