#pragma once

#include <QList>
#include <QString>

// One mounted file system as the Drives box lists it: the mount point stands
// where a drive's root stood.
struct MountedDrive
{
    // The drive type codes of the listing.
    // A fixed underlying type: a type code read from outside may be any number.
    enum Type : int { NotKnown = 0, NoRoot = 1, Removable = 2, Fixed = 3, Network = 4, CdRom = 5, RamDisk = 6 };

    QString mountPoint;
    QString device;
    QString fileSystem;
    Type type = NotKnown;
    // Empty, with serial 0, when the volume could not be queried.
    QString label;
    quint32 serial = 0;

    bool operator==(const MountedDrive &) const = default;

    // The mounted file systems of the mount table under root
    // (proc/self/mounts), pseudo and runtime file systems left out, one per
    // mount point (the last mount hides earlier ones), in mount-point order.
    static QList<MountedDrive> read(const QString &root);
};
