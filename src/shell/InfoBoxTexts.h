#pragma once

#include "platform/system/MountedDrive.h"

#include <QList>
#include <QString>

// The texts of the User name, Processor and Drives boxes. A "|" in a text
// starts a new line of the box.
namespace InfoBoxTexts {

QString userCaption();
QString processorCaption();
QString drivesCaption();

// " User: NAME| Computer: NAME"
QString userText(const QString &userName, const QString &computerName);

// "Intel" for the types 386, 486 and 586, "IBM" for 601, else "Unknown", in a
// blank-padded field of 32 characters.
QString vendorField(int processorType);
// Memory in units of 1024 x 1000 bytes, whole units, in 64 bits.
quint64 memoryUnits(quint64 totalBytes);
// " Processor: VENDOR-FIELD| Type: N| Memory: M Mb"
QString processorText(int processorType, quint64 totalBytes);

// The type text of a drive type code 0..6 ("Not Known" for any other).
QString driveTypeText(int type);
// One "MOUNT-POINT TYPE LABEL SERIAL|" per drive, without trailing blanks: the
// final "|" leaves an empty last line.
QString drivesText(const QList<MountedDrive> &drives);

// The texts of this computer now.
QString currentUserText();
QString currentProcessorText();
QString currentDrivesText(const QString &root);

} // namespace InfoBoxTexts
