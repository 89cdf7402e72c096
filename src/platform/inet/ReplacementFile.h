#pragma once

#include <QFile>
#include <QString>

namespace inet {

// A download's local file, written beside its target and put in the target's
// place only when complete: a failed download leaves an existing file as it
// was and no part behind. Unlike QSaveFile it does not force the data to disk
// on commit, which would cost a large download as much as its transfer.
class ReplacementFile
{
public:
    explicit ReplacementFile(const QString &target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    bool open();
    bool write(const char *data, qint64 size);
    // Closes the file and moves it over the target; false when either fails.
    bool commit();

private:
    QString m_target;
    QFile m_part;
    bool m_committed = false;
};

} // namespace inet
