#pragma once

#include <QObject>
#include <QString>

// Process-wide marks of the tools that allow one window at a time (the Crawler,
// the FTP client, the HTTP server, each Download worker), keyed by procedure name.
// The check and the claim are one step, so two quick starts can never both win.
namespace InstanceRegistry {

// One claim of a mark, never 0. Releasing with it frees the mark only while the
// mark is still this claim's: a late release never frees a later holder's mark.
using Claim = quint64;

// Claims the mark; 0 when it is already held.
Claim tryClaim(const QString &procedureName);
void release(const QString &procedureName, Claim claim);
bool isClaimed(const QString &procedureName);

// Tells of every released mark, on the thread that released it: a tool that
// waits for another to end (the Crawler for its workers) connects with a
// queued connection.
class Notifier : public QObject
{
    Q_OBJECT

signals:
    void released(const QString &procedureName);
};
Notifier *notifier();

} // namespace InstanceRegistry
