#include "ftp/FtpRow.h"

FtpRow FtpRow::fromEntry(const inet::FtpEntry &entry)
{
    FtpRow row;
    row.kind = entry.link ? Link : entry.directory ? Directory : File;
    row.name = entry.name;
    row.rawName = entry.rawName;
    if (entry.lastWrite.isValid())
        row.date = entry.lastWrite.toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm"));
    // A link's listed size is that of the name it points to, not of a file.
    if (row.kind == File) {
        row.bytes = entry.size;
        if (entry.size > 0)
            row.size = entry.size < 1024 ? QStringLiteral("1") : QString::number(entry.size / 1024);
    }
    return row;
}

FtpRow::Icon FtpRow::icon() const
{
    if (kind == Link)
        return LinkIcon;
    if (kind != File)
        return Icon(kind);
    static const QStringList archives { QStringLiteral(".zip"), QStringLiteral(".gz"), QStringLiteral(".tgz"),
        QStringLiteral(".tar"), QStringLiteral(".7z"), QStringLiteral(".bz2"), QStringLiteral(".xz"),
        QStringLiteral(".rar"), QStringLiteral(".arj"), QStringLiteral(".lzh"), QStringLiteral(".zst"),
        QStringLiteral(".cab") };
    for (const QString &suffix : archives) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return ArchiveIcon;
    }
    return FileIcon;
}
