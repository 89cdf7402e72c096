#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A prepared system tree in a temporary directory: the files of /proc, /sys,
// /dev and /etc that a reader looks at, written by the test.
class FakeTree
{
public:
    QString root() const { return m_dir.path(); }
    QString path(const QString &absolute) const;

    // Creates the file, and the directories it lies in.
    void write(const QString &absolute, const QByteArray &contents) const;
    void makeDirectory(const QString &absolute) const;
    // A symbolic link at absolute pointing to target, as written (udev writes relative links).
    void link(const QString &absolute, const QString &target) const;

private:
    QTemporaryDir m_dir;
};
