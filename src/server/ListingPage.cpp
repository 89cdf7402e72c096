#include "server/ListingPage.h"

#include "server/PathMapper.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace {

// The page's line break: a line feed followed by a carriage return.
constexpr QLatin1StringView LineBreak("\n\r");
const QString NotFoundLine = QStringLiteral("Traženi Direktorij ili Datoteka ne postoji. <br>");
constexpr int VendorWidth = 20;

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString encodedPath(const QString &path)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

} // namespace

ListingPage::ListingPage(const Source &source)
    : m_source(source)
{
    if (!source.directory.isEmpty())
        m_entries = readDirectory(source.directory, source.servedDirectory);
    m_linkPrefix = source.requestPath;
    if (!m_linkPrefix.endsWith(u'/'))
        m_linkPrefix += u'/';
}

QList<ListingPage::Entry> ListingPage::readDirectory(const QString &directory, const QString &servedDirectory)
{
    const PathMapper mapper(servedDirectory);
    QList<Entry> entries;
    const QFileInfoList infos
        = QDir(directory).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.reserve(infos.size());
    for (const QFileInfo &info : infos) {
        // Its entry would show the size and date of what it leads to, which cannot be followed.
        if (info.isSymLink() && !mapper.leadsInside(info.filePath()))
            continue;
        const bool isDirectory = info.isDir();
        entries.append({ info.fileName(), isDirectory, info.lastModified(), isDirectory ? 0 : info.size() });
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.directory != b.directory)
            return a.directory;
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return entries;
}

QString ListingPage::groupedNumber(qint64 value, int width, bool blankZero)
{
    if (value == 0 && blankZero)
        return QString(width, u' ');
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return digits.rightJustified(width, u' ');
}

QString ListingPage::row(const Entry &entry, const QString &linkPrefix)
{
    const QString link = encodedPath((linkPrefix + entry.name).toLower());
    QString text = u"<A HREF=\"" + escaped(link) + u"\">"
        + escaped(entry.directory ? entry.name.toUpper() : entry.name.toLower()) + u"</A>" + u' '
        + entry.modified.toString(QStringLiteral("dd.MM.yyyy")) + u' '
        + entry.modified.toString(QStringLiteral("hh:mm"));
    if (!entry.directory)
        text += u' ' + groupedNumber(entry.size, 10);
    return text + u"<br>";
}

QString ListingPage::header() const
{
    const SystemFacts &facts = m_source.facts;
    return u"<html>" + LineBreak + u"<head>" + LineBreak + u"<title>" + escaped(m_source.servedDirectory)
        + u"</title></head>" + LineBreak + u"<body bgcolor=\"#C0C0C0\">" + LineBreak
        + u"<table border=\"0\" width=\"100%\"><tr><td width=\"24%\">&nbsp;</td>"
        + u"<td align=\"center\" width=\"76%\">&nbsp;</td></tr><tr><td valign=\"top\" width=\"24%\">"
        + u"<table border=\"0\" width=\"81%\"><tr><td valign=\"top\"><p align=\"left\">"
        + u"<font size=\"1\" face=\"Verdana, Arial, Helvetica, sans-serif\"><strong><b>" + u"HTTP_ by Quorin.<br>"
        + LineBreak + u"<script language=\"javascript\">" + LineBreak + u"<!-- " + LineBreak
        + u"document.write(document.lastModified)" + LineBreak + u" //-->" + LineBreak + u"</script><br><br>"
        + u"Computer: " + escaped(facts.computerName) + u"<br>" + u"User name: " + escaped(facts.userName) + u"<br><br>"
        + u"Processor: " + facts.processorVendor.leftJustified(VendorWidth, u' ') + u"<br>" + u"Type: "
        + QString::number(facts.processorType) + u"<br>" + u"Memory: " + QString::number(facts.memoryMb) + u" Mb"
        + u"<br>" + u"</b></strong></font></p></td></tr></table></td><td valign=\"top\" width=\"76%\">"
        + u"<table border=\"1\" cellpadding=\"4\" width=\"100%\" bgcolor=\"#CDC5B6\"><tr><td>"
        + u"<font size=\"2\" face=\"Verdana,Arial\"><strong>" + escaped(m_source.targetName) + u"</strong><br></font>"
        + u"</td></tr></table><table border=\"1\" cellpadding=\"4\" width=\"100%\" bgcolor=\"#FEFF91\">" + u"<tr><td>"
        + u"<font size=\"1\" face=\"Verdana,Arial\">";
}

QString ListingPage::footer() const
{
    return u"</td></tr></table></td></tr></table></font><br><hr>" + groupedNumber(m_bytes / 1024, 12, false)
        + u" Kbytes in " + QString::number(m_entries.size()) + u" files. </body></html>";
}

bool ListingPage::nextPiece(QByteArray &piece)
{
    if (m_done)
        return false;
    if (!m_headerSent) {
        m_headerSent = true;
        piece = header().toUtf8();
        return true;
    }
    QString text = m_entries.isEmpty() ? NotFoundLine : QString();
    const qsizetype end = qMin(m_next + EntriesPerPiece, m_entries.size());
    const bool fullGroup = end - m_next == EntriesPerPiece;
    for (; m_next < end; ++m_next) {
        const Entry &entry = m_entries[m_next];
        text += row(entry, m_linkPrefix);
        if (!entry.directory)
            m_bytes += entry.size;
    }
    // A full group of entries goes out on its own; what is left goes with the footer.
    if (!fullGroup) {
        text += footer();
        m_done = true;
    }
    piece = text.toUtf8();
    return true;
}
