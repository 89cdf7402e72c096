#pragma once

#include "platform/SettingsFile.h"

#include <QByteArray>
#include <QString>

// The certificates the user trusted, one per server, kept in the Settings
// file's FTPCert key as "server=SHA-256" items (hex) separated by blanks, the
// latest last. When the key would outgrow its capacity the oldest items go.
class TrustedCertificates
{
public:
    explicit TrustedCertificates(const SettingsFile &file);

    // The SHA-256 trusted for the server ("host:port"); empty when none.
    QByteArray find(const QString &server) const;
    // Keeps the server's certificate in place of any earlier one; false when
    // the file could not be written.
    bool trust(const QString &server, const QByteArray &digest);

private:
    QStringList items() const;

    SettingsFile m_file;
};
