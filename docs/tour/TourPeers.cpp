#include "TourPeers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

namespace {

const QString Host = QStringLiteral("127.0.0.1");
// Slow enough that a crawl of the site takes a while and each picture keeps a
// download worker busy for a few seconds.
constexpr int SiteRate = 24 * 1024;
constexpr int DownloadRate = 256 * 1024;
constexpr qint64 DownloadSize = 6 * 1024 * 1024;

struct Place
{
    const char *page;
    const char *title;
};

constexpr Place Places[] = { { "plitvice", "Plitvi\u010dka jezera" }, { "krka", "Slapovi Krke" },
    { "dubrovnik", "Dubrovnik" }, { "hvar", "Hvar" }, { "rovinj", "Rovinj" }, { "zagreb", "Zagreb" } };
constexpr int PicturesPerPlace = 4;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A landscape of sky, sun and hills, different for every seed.
QImage landscape(quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(640, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor::fromHsv(200 + random.bounded(30), 160, 230));
    sky.setColorAt(1, QColor::fromHsv(30 + random.bounded(30), 60, 255));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 236, 150));
    painter.drawEllipse(QPointF(100 + random.bounded(440), 60 + random.bounded(80)), 34, 34);
    for (int layer = 0; layer < 4; ++layer) {
        QPainterPath hills(QPointF(0, image.height()));
        const int base = 200 + layer * 45;
        for (int x = 0; x <= image.width(); x += 16)
            hills.lineTo(x, base - random.bounded(40 + 10 * (4 - layer)));
        hills.lineTo(image.width(), image.height());
        painter.setBrush(QColor::fromHsv(90 + random.bounded(80), 120 + 30 * layer, 200 - 35 * layer));
        painter.drawPath(hills);
    }
    // Grain, as a photograph has, so each picture weighs what a photograph does.
    for (int i = 0; i < 60000; ++i) {
        const int x = random.bounded(image.width()), y = random.bounded(image.height());
        const QColor pixel = image.pixelColor(x, y);
        const int shift = random.bounded(-24, 24);
        image.setPixelColor(x, y,
            QColor(qBound(0, pixel.red() + shift, 255), qBound(0, pixel.green() + shift, 255),
                qBound(0, pixel.blue() + shift, 255)));
    }
    return image;
}

bool writePicture(const QString &path, quint32 seed)
{
    QDir().mkpath(QFileInfo(path).path());
    return landscape(seed).save(path, "JPG", 92);
}

QByteArray page(const QString &title, const QString &body)
{
    return (QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                           "<body background=\"slike/pozadina.jpg\">\n<h1>%1</h1>\n%2\n</body></html>\n")
                .arg(title, body))
        .toUtf8();
}

bool writeSite(const QString &root)
{
    QString links;
    bool ok = writePicture(root + QStringLiteral("/slike/pozadina.jpg"), 1)
        && writePicture(root + QStringLiteral("/slike/naslovna.jpg"), 2);
    quint32 seed = 10;
    for (const Place &place : Places) {
        const QString name = QString::fromLatin1(place.page);
        const QString title = QString::fromUtf8(place.title);
        links += QStringLiteral("<p><a href=\"%1.htm\">%2</a></p>\n").arg(name, title);
        QString pictures;
        for (int i = 1; i <= PicturesPerPlace; ++i) {
            const QString picture = QStringLiteral("slike/%1-%2.jpg").arg(name).arg(i);
            pictures += QStringLiteral("<img src=\"%1\" alt=\"%2\">\n").arg(picture, title);
            ok = ok && writePicture(root + u'/' + picture, seed++);
        }
        ok = ok
            && writeFile(root + u'/' + name + QStringLiteral(".htm"),
                page(title, pictures + QStringLiteral("<p><a href=\"index.htm\">Natrag</a></p>")));
    }
    return ok
        && writeFile(root + QStringLiteral("/index.htm"),
            page(QStringLiteral("Izleti po Hrvatskoj"), QStringLiteral("<img src=\"slike/naslovna.jpg\">\n") + links));
}

// A file of the given size whose bytes do not compress, and its date.
bool writeSized(const QString &path, qint64 size, const QDateTime &date)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random { quint32(size) };
    for (qint64 left = size; left > 0; left -= block.size()) {
        random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        if (file.write(block.constData(), qMin<qint64>(left, block.size())) < 0)
            return false;
    }
    // Written out first, or the last write would give the file today's date again.
    return file.flush() && file.setFileTime(date, QFileDevice::FileModificationTime);
}

struct Entry
{
    const char *path;
    qint64 size;
    int daysAgo;
};

bool writeTree(const QString &root, std::initializer_list<Entry> entries)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const Entry &entry : entries) {
        const QString path = root + u'/' + QString::fromUtf8(entry.path);
        if (!writeSized(path, entry.size, now.addDays(-entry.daysAgo).addSecs(-entry.size % 36000)))
            return false;
    }
    return true;
}

bool writeFtpTree(const QString &root)
{
    return writeTree(root,
        { { "pub/izleti-2026.zip", 2'340'000, 3 }, { "pub/cjenik.txt", 4'200, 12 },
            { "slike/plitvice.jpg", 182'000, 40 }, { "slike/krka.jpg", 164'000, 40 },
            { "dokumenti/upute.pdf", 96'000, 90 }, { "README.txt", 1'800, 200 }, { "izleti-2026.zip", 2'340'000, 3 },
            { "popis-mjesta.txt", 12'600, 25 }, { "karta.jpg", 245'000, 61 } });
}

bool writeServedTree(const QString &root)
{
    return writeTree(root,
        { { "cjenik.txt", 4'200, 12 }, { "raspored.htm", 8'900, 5 }, { "izleti-2026.zip", 2'340'000, 3 },
            { "slike/plitvice-1.jpg", 182'000, 40 }, { "slike/krka-1.jpg", 164'000, 40 } });
}

} // namespace

bool TourPeers::start(const QString &sourceDir)
{
    m_sourceDir = sourceDir;
    if (!m_data.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    const QString site = m_data.filePath(QStringLiteral("site"));
    const QString downloads = m_data.filePath(QStringLiteral("downloads"));
    const QString ftp = m_data.filePath(QStringLiteral("ftp"));
    if (!writeSite(site) || !writeSized(downloads + u'/' + downloadName(), DownloadSize, QDateTime::currentDateTime())
        || !writeFtpTree(ftp) || !writeServedTree(servedDirectory())) {
        m_error = QStringLiteral("could not write the tour's files under ") + m_data.path();
        return false;
    }
    if (!startSlowSite(m_site, m_sitePort, site, SiteRate)
        || !startSlowSite(m_downloads, m_downloadsPort, downloads, DownloadRate))
        return false;
    if (!m_ftp.start(ftp)) {
        m_error = QStringLiteral("pyftpdlib: ") + m_ftp.errorText();
        return false;
    }
    return true;
}

void TourPeers::stop()
{
    m_site.stop();
    m_downloads.stop();
    m_ftp.stop();
}

bool TourPeers::startSlowSite(PeerProcess &peer, quint16 &port, const QString &root, int bytesPerSecond)
{
    port = PeerProcess::freePort(Host);
    const QString script = m_sourceDir + QStringLiteral("/docs/tour/slow_site.py");
    if (peer.start(QStringLiteral("/usr/bin/python3"),
            { script, root, Host, QString::number(port), QString::number(bytesPerSecond) }, Host, port))
        return true;
    m_error = QStringLiteral("slow_site.py: ") + peer.errorText();
    return false;
}

QString TourPeers::siteUrl() const
{
    return QStringLiteral("http://%1:%2/").arg(Host).arg(m_sitePort);
}

QString TourPeers::downloadUrl() const
{
    return QStringLiteral("http://%1:%2/%3").arg(Host).arg(m_downloadsPort).arg(downloadName());
}

QString TourPeers::downloadName() const
{
    return QStringLiteral("izleti-2026.zip");
}

qint64 TourPeers::downloadSize() const
{
    return DownloadSize;
}

QString TourPeers::servedDirectory() const
{
    return m_data.filePath(QStringLiteral("public_html"));
}
