#include "FakeTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

QString FakeTree::path(const QString &absolute) const
{
    return m_dir.path() + absolute;
}

void FakeTree::write(const QString &absolute, const QByteArray &contents) const
{
    QVERIFY(QDir().mkpath(QFileInfo(path(absolute)).path()));
    QFile file(path(absolute));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

void FakeTree::makeDirectory(const QString &absolute) const
{
    QVERIFY(QDir().mkpath(path(absolute)));
}

void FakeTree::link(const QString &absolute, const QString &target) const
{
    QVERIFY(QDir().mkpath(QFileInfo(path(absolute)).path()));
    QVERIFY(QFile::link(target, path(absolute)));
}
