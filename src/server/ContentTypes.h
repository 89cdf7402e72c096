#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The Content-Type of a served file, by its name: the system's MIME database
// (shared-mime-info) knows the common kinds; a short list of our own fills
// only what it lacks and browsers insist on. Text types go without a charset,
// which the server cannot know.
class ContentTypes
{
public:
    QByteArray of(const QString &fileName);

private:
    // Suffix to type: the database is asked once per suffix.
    QHash<QString, QByteArray> m_known;
};
