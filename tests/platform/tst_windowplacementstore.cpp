#include "platform/DialogUnits.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString SectorSection = u"__Dont_Touch_Me__"_s;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

WindowState normalWindow(const QRect &geometry, bool resizable = true)
{
    WindowState state;
    state.normalGeometry = geometry;
    state.resizable = resizable;
    return state;
}

} // namespace

class TestWindowPlacementStore : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void noFileOpensAtDesignedSize();
    void normalWindowStoresPositionAndSize();
    void maximizedStoresOnlyMaximize();
    void minimizedLeavesSectionUnchanged();
    void fixedSizeWindowStoresNoSize();
    void stored_data();
    void stored();
    void newFileGetsEmptySectorList();
    void sectorListRoundTrips();
    void sectorEntriesAreBounded();
    void sectorCount_data();
    void sectorCount();
    void placed_data();
    void placed();
    void releaseIsIdempotent();
    void destructorReleases();
    void instanceIsProcessWide();

private:
    QString path() const { return m_dir->filePath(u"TORVEX.INI"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestWindowPlacementStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestWindowPlacementStore::noFileOpensAtDesignedSize()
{
    WindowPlacementStore store { SettingsFile(path()) };
    const StoredPlacement placement = store.stored(u"Main"_s);
    QCOMPARE(placement.maximized, StoredPlacement::Maximized::Unknown);
    QVERIFY(!placement.position);
    QVERIFY(!placement.size);
    QVERIFY(!QFileInfo::exists(path()));
    store.release();
}

void TestWindowPlacementStore::normalWindowStoresPositionAndSize()
{
    WindowPlacementStore store { SettingsFile(path()) };
    QVERIFY(store.save(u"Main"_s, normalWindow(QRect(10, 20, 310, 190))));
    QCOMPARE(
        fileBytes(path()), QByteArray("[Main]\r\nMaximize=No\r\nXPos=10\r\nYPos=20\r\nHeight=190\r\nWidth=310\r\n"));
    const StoredPlacement placement = store.stored(u"main"_s);
    QCOMPARE(placement.maximized, StoredPlacement::Maximized::No);
    QCOMPARE(placement.position, std::optional<QPoint>(QPoint(10, 20)));
    QCOMPARE(placement.size, std::optional<QSize>(QSize(310, 190)));
}

void TestWindowPlacementStore::maximizedStoresOnlyMaximize()
{
    WindowPlacementStore store { SettingsFile(path()) };
    QVERIFY(store.save(u"Http_asy"_s, normalWindow(QRect(-5, 7, 200, 100))));
    WindowState maximized = normalWindow(QRect(0, 0, 999, 999));
    maximized.maximized = true;
    QVERIFY(store.save(u"Http_asy"_s, maximized));
    QCOMPARE(fileBytes(path()),
        QByteArray("[Http_asy]\r\nMaximize=Yes\r\nXPos=-5\r\nYPos=7\r\nHeight=100\r\nWidth=200\r\n"));
    const StoredPlacement placement = store.stored(u"Http_asy"_s);
    QCOMPARE(placement.maximized, StoredPlacement::Maximized::Yes);
    QCOMPARE(placement.position, std::optional<QPoint>(QPoint(-5, 7)));
    QCOMPARE(placement.size, std::optional<QSize>(QSize(200, 100)));
}

void TestWindowPlacementStore::minimizedLeavesSectionUnchanged()
{
    const QByteArray before = "[Itst]\nMaximize=No\nXPos=1\nYPos=2\n";
    putFile(path(), before);
    WindowPlacementStore store { SettingsFile(path()) };
    WindowState minimized = normalWindow(QRect(50, 60, 70, 80));
    minimized.minimized = true;
    QVERIFY(store.save(u"Itst"_s, minimized));
    minimized.maximized = true;
    QVERIFY(store.save(u"Itst"_s, minimized));
    QCOMPARE(fileBytes(path()), before);
}

void TestWindowPlacementStore::fixedSizeWindowStoresNoSize()
{
    WindowPlacementStore store { SettingsFile(path()) };
    QVERIFY(store.save(u"WS_http"_s, normalWindow(QRect(3, 4, 300, 200), false)));
    QCOMPARE(fileBytes(path()), QByteArray("[WS_http]\r\nMaximize=No\r\nXPos=3\r\nYPos=4\r\n"));
    const StoredPlacement placement = store.stored(u"WS_http"_s);
    QCOMPARE(placement.position, std::optional<QPoint>(QPoint(3, 4)));
    QVERIFY(!placement.size);
}

void TestWindowPlacementStore::stored_data()
{
    QTest::addColumn<QByteArray>("section"); // the lines after "[W]"
    QTest::addColumn<StoredPlacement::Maximized>("maximized");
    QTest::addColumn<bool>("hasPosition");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<bool>("hasSize");
    QTest::addColumn<QSize>("size");
    using M = StoredPlacement::Maximized;

    QTest::newRow("empty section") << QByteArray() << M::Unknown << false << QPoint() << false << QSize();
    QTest::newRow("maximize not yes or no, position ignored") << QByteArray("Maximize=Perhaps\r\nXPos=1\r\nYPos=2\r\n")
                                                              << M::Unknown << false << QPoint() << false << QSize();
    QTest::newRow("maximize missing, position ignored") << QByteArray("XPos=1\r\nYPos=2\r\nWidth=3\r\nHeight=4\r\n")
                                                        << M::Unknown << false << QPoint() << false << QSize();
    QTest::newRow("no position") << QByteArray("Maximize=Yes\r\n") << M::Yes << false << QPoint() << false << QSize();
    QTest::newRow("other case") << QByteArray("maximize=no\r\nxpos=8\r\n") << M::No << true << QPoint(8, 0) << false
                                << QSize();
    QTest::newRow("empty XPos") << QByteArray("Maximize=No\r\nXPos=\r\nYPos=5\r\nWidth=3\r\nHeight=4\r\n") << M::No
                                << false << QPoint() << true << QSize(3, 4);
    QTest::newRow("YPos not a number") << QByteArray("Maximize=No\r\nXPos=4\r\nYPos=top\r\n") << M::No << true
                                       << QPoint(4, 0) << false << QSize();
    QTest::newRow("width missing") << QByteArray("Maximize=No\r\nXPos=1\r\nYPos=2\r\nHeight=4\r\n") << M::No << true
                                   << QPoint(1, 2) << false << QSize();
    QTest::newRow("size zero") << QByteArray("Maximize=No\r\nXPos=1\r\nYPos=2\r\nWidth=0\r\nHeight=4\r\n") << M::No
                               << true << QPoint(1, 2) << false << QSize();
}

void TestWindowPlacementStore::stored()
{
    QFETCH(QByteArray, section);
    QFETCH(StoredPlacement::Maximized, maximized);
    QFETCH(bool, hasPosition);
    QFETCH(QPoint, position);
    QFETCH(bool, hasSize);
    QFETCH(QSize, size);
    putFile(path(), "[W]\r\n" + section);
    WindowPlacementStore store { SettingsFile(path()) };
    const StoredPlacement placement = store.stored(u"W"_s);
    QCOMPARE(placement.maximized, maximized);
    QCOMPARE(placement.position.has_value(), hasPosition);
    QCOMPARE(placement.position.value_or(QPoint()), position);
    QCOMPARE(placement.size.has_value(), hasSize);
    QCOMPARE(placement.size.value_or(QSize()), size);
}

void TestWindowPlacementStore::newFileGetsEmptySectorList()
{
    WindowPlacementStore store { SettingsFile(path()) };
    QVERIFY(store.sectors().isEmpty());
    store.release();
    QCOMPARE(fileBytes(path()), QByteArray("[__Dont_Touch_Me__]\r\nSectors=0\r\n"));
}

void TestWindowPlacementStore::sectorListRoundTrips()
{
    const QByteArray before = "[Main]\r\nMaximize=No\r\n\r\n[__Dont_Touch_Me__]\r\nSectors=3\r\nSectors_1=a,b,c\r\n"
                              "Sectors_2=d\r\nSectors_3=e,,f\r\n\r\n[Torvex Settings]\r\nHTTPurl=x\r\n";
    putFile(path(), before);
    WindowPlacementStore store { SettingsFile(m_dir->filePath(u"torvex.ini"_s)) };
    QCOMPARE(store.sectors(),
        (QList<QStringList> { { u"a"_s, u"b"_s, u"c"_s }, { u"d"_s }, { u"e"_s, QString(), u"f"_s } }));
    store.release();
    QCOMPARE(fileBytes(path()), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"TORVEX.INI"_s });
}

void TestWindowPlacementStore::sectorEntriesAreBounded()
{
    putFile(path(), "[__Dont_Touch_Me__]\r\nSectors=1\r\nSectors_1=" + QByteArray(150, 'x') + ",y,z,extra\r\n");
    {
        WindowPlacementStore store { SettingsFile(path()) };
        QCOMPARE(store.sectors(), (QList<QStringList> { { QString(100, u'x'), u"y"_s, u"z"_s } }));
    }
    QCOMPARE(SettingsFile(path()).read(SectorSection, u"Sectors_1"_s), QString(100, u'x') + u",y,z"_s);
}

void TestWindowPlacementStore::sectorCount_data()
{
    QTest::addColumn<QByteArray>("section"); // the lines after "[__Dont_Touch_Me__]"
    QTest::addColumn<int>("entries");
    QTest::addColumn<QByteArray>("written"); // the section as release() leaves it

    QTest::newRow("count beyond the one entry") << QByteArray("Sectors=2147483647\r\nSectors_1=a,b,c\r\n") << 1
                                                << QByteArray("Sectors=1\r\nSectors_1=a,b,c\r\n");
    QTest::newRow("count beyond, a missing entry among them reads empty")
        << QByteArray("Sectors=9\r\nSectors_1=a\r\nSectors_3=c\r\n") << 3
        << QByteArray("Sectors=3\r\nSectors_1=a\r\nSectors_3=c\r\nSectors_2=\r\n");
    QTest::newRow("count beyond and no entry")
        << QByteArray("Sectors=2000000000\r\n") << 0 << QByteArray("Sectors=0\r\n");
    QTest::newRow("negative count") << QByteArray("Sectors=-4\r\nSectors_1=a\r\n") << 0
                                    << QByteArray("Sectors=0\r\nSectors_1=a\r\n");
    QTest::newRow("count below the entries keeps the rest as it was")
        << QByteArray("Sectors=1\r\nSectors_1=a\r\nSectors_2=b\r\n") << 1
        << QByteArray("Sectors=1\r\nSectors_1=a\r\nSectors_2=b\r\n");
}

void TestWindowPlacementStore::sectorCount()
{
    QFETCH(QByteArray, section);
    QFETCH(int, entries);
    QFETCH(QByteArray, written);
    putFile(path(), "[__Dont_Touch_Me__]\r\n" + section);
    {
        WindowPlacementStore store { SettingsFile(path()) };
        QCOMPARE(store.sectors().size(), entries);
    }
    QCOMPARE(fileBytes(path()), "[__Dont_Touch_Me__]\r\n" + written);
}

void TestWindowPlacementStore::placed_data()
{
    QTest::addColumn<QByteArray>("section"); // the lines after "[W]"
    QTest::addColumn<QRect>("area"); // in pixels
    QTest::addColumn<QRect>("placed"); // in pixels
    QTest::addColumn<QByteArray>("writtenBack"); // the section once the placed window is saved
    const QRect screen(0, 0, 1280, 1024);
    // With dialog units of 7 by 16 pixels a character, 310 by 190 units are 543 by 380 pixels.

    QTest::newRow("inside the screen") << QByteArray("Maximize=No\r\nXPos=10\r\nYPos=20\r\nHeight=190\r\nWidth=310\r\n")
                                       << screen << QRect(18, 40, 543, 380)
                                       << QByteArray(
                                              "Maximize=No\r\nXPos=10\r\nYPos=20\r\nHeight=190\r\nWidth=310\r\n");
    QTest::newRow("XPos beyond any screen")
        << QByteArray("Maximize=No\r\nXPos=2000000000\r\nYPos=10\r\nHeight=190\r\nWidth=310\r\n") << screen
        << QRect(737, 20, 543, 380) << QByteArray("Maximize=No\r\nXPos=421\r\nYPos=10\r\nHeight=190\r\nWidth=310\r\n");
    QTest::newRow("far to the left and above")
        << QByteArray("Maximize=No\r\nXPos=-2000000000\r\nYPos=-2000000000\r\nHeight=190\r\nWidth=310\r\n") << screen
        << QRect(0, 0, 543, 380) << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=190\r\nWidth=310\r\n");
    QTest::newRow("larger than the screen")
        << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=2000000000\r\nWidth=2000000000\r\n") << screen
        << screen << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=512\r\nWidth=731\r\n");
    QTest::newRow("no screen to fit into: the window system's largest size")
        << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=2000000000\r\nWidth=2000000000\r\n") << QRect()
        << QRect(0, 0, 16777215, 16777215)
        << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=8388608\r\nWidth=9586980\r\n");
    QTest::newRow("a screen that does not start at 0")
        << QByteArray("Maximize=No\r\nXPos=0\r\nYPos=0\r\nHeight=190\r\nWidth=310\r\n") << QRect(1280, 30, 1920, 1050)
        << QRect(1280, 30, 543, 380) << QByteArray("Maximize=No\r\nXPos=731\r\nYPos=15\r\nHeight=190\r\nWidth=310\r\n");
}

void TestWindowPlacementStore::placed()
{
    QFETCH(QByteArray, section);
    QFETCH(QRect, area);
    QFETCH(QRect, placed);
    QFETCH(QByteArray, writtenBack);
    putFile(path(), "[W]\r\n" + section);
    WindowPlacementStore store { SettingsFile(path()) };
    const DialogUnits units(7, 16);
    const auto geometry
        = WindowPlacementStore::placed(store.stored(u"W"_s), units, area, QSize(100, 100), QSize(), true);
    QCOMPARE(geometry, std::optional<QRect>(placed));
    QVERIFY(store.save(u"W"_s, normalWindow(units.toUnits(*geometry))));
    QCOMPARE(fileBytes(path()), "[W]\r\n" + writtenBack);
}

void TestWindowPlacementStore::releaseIsIdempotent()
{
    WindowPlacementStore store { SettingsFile(path()) };
    store.release();
    SettingsFile(path()).write(SectorSection, u"Sectors"_s, u"7"_s);
    store.release();
    QCOMPARE(SettingsFile(path()).read(SectorSection, u"Sectors"_s), u"7"_s);
}

void TestWindowPlacementStore::destructorReleases()
{
    {
        WindowPlacementStore store { SettingsFile(path()) };
        QVERIFY(store.save(u"Main"_s, normalWindow(QRect(1, 2, 3, 4))));
    }
    QCOMPARE(SettingsFile(path()).read(SectorSection, u"Sectors"_s), u"0"_s);
    QCOMPARE(SettingsFile(path()).read(u"Main"_s, u"Maximize"_s), u"No"_s);
}

void TestWindowPlacementStore::instanceIsProcessWide()
{
    QVERIFY(!WindowPlacementStore::instance());
    {
        WindowPlacementStore store { SettingsFile(path()) };
        WindowPlacementStore::setInstance(&store);
        WindowPlacementStore *seen = nullptr;
        std::thread other([&seen] { seen = WindowPlacementStore::instance(); });
        other.join();
        QCOMPARE(seen, &store);
    }
    QVERIFY(!WindowPlacementStore::instance());
}

QTEST_GUILESS_MAIN(TestWindowPlacementStore)
#include "tst_windowplacementstore.moc"
