#include "shell/InfoBoxTexts.h"

#include "platform/TrailingBlanks.h"
#include "platform/system/ProcessorFacts.h"
#include "platform/system/UserIdentity.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype VendorWidth = 32;

} // namespace

namespace InfoBoxTexts {

QString userCaption()
{
    return u"User Name"_s;
}

QString processorCaption()
{
    return u"Cpu"_s;
}

QString drivesCaption()
{
    return u"Diskovi"_s;
}

QString userText(const QString &userName, const QString &computerName)
{
    return u" User: "_s + withoutTrailingBlanks(userName) + u"| Computer: "_s + withoutTrailingBlanks(computerName);
}

QString vendorField(int processorType)
{
    QString vendor = u"Unknown"_s;
    if (processorType == 386 || processorType == 486 || processorType == 586)
        vendor = u"Intel"_s;
    else if (processorType == 601)
        vendor = u"IBM"_s;
    return vendor.leftJustified(VendorWidth, u' ');
}

quint64 memoryUnits(quint64 totalBytes)
{
    return totalBytes / 1024 / 1000;
}

QString processorText(int processorType, quint64 totalBytes)
{
    return u" Processor: "_s + vendorField(processorType) + u"| Type: "_s + QString::number(processorType)
        + u"| Memory: "_s + QString::number(memoryUnits(totalBytes)) + u" Mb"_s;
}

QString driveTypeText(int type)
{
    static const QStringList texts { u"Not Known"_s, u"Not Know"_s, u"Removable"_s, u"Fixed"_s, u"Network"_s,
        u"CDROM"_s, u"Ramdisk"_s };
    return type >= 0 && type < texts.size() ? texts.at(type) : texts.first();
}

QString drivesText(const QList<MountedDrive> &drives)
{
    QString listing;
    for (const MountedDrive &drive : drives) {
        listing += drive.mountPoint + u' ' + driveTypeText(drive.type) + u' ' + withoutTrailingBlanks(drive.label)
            + u' ' + QString::number(drive.serial) + u'|';
    }
    return withoutTrailingBlanks(listing);
}

QString currentUserText()
{
    return userText(UserIdentity::userName(), UserIdentity::computerName());
}

QString currentProcessorText()
{
    return processorText(ProcessorFacts::processorType(ProcessorFacts::machine()), ProcessorFacts::totalMemory());
}

QString currentDrivesText(const QString &root)
{
    return drivesText(MountedDrive::read(root));
}

} // namespace InfoBoxTexts
