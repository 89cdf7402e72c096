#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include <memory>

namespace inet {

// The check of a TLS server's certificate in every handshake of the easy handles
// it is applied to, run inside the handshake and so before a word of a login is
// sent. A server the user trusted earlier is accepted with exactly that
// certificate (known by its SHA-256) and no other; any other server's
// certificate must chain to the system's trust store (libcurl then checks that
// it names the server). The store is read once for the process, not for every
// handshake as libcurl would (an FTP download has several).
class CertificateCheck
{
public:
    // trusted: the SHA-256 of the certificate the user trusted for this server;
    // empty when there is none. authorities: a PEM file to trust instead of the
    // system's store (tests name their loopback authority); empty: the system's.
    explicit CertificateCheck(const QByteArray &trusted = {}, const QString &authorities = {});
    ~CertificateCheck();
    CertificateCheck(const CertificateCheck &) = delete;
    CertificateCheck &operator=(const CertificateCheck &) = delete;

    void applyTo(CURL *easy);

    // The SHA-256 of the certificate the server presented in the last handshake;
    // empty before any.
    QByteArray presented() const { return m_presented; }
    // Whether the last handshake ended because its certificate failed the check.
    bool refused() const { return m_refused; }
    bool isPinned() const { return !m_trusted.isEmpty(); }

    // Called by the handshake with the server's certificate chain (an OpenSSL
    // X509_STORE_CTX); 1 accepts it.
    int verify(void *chain);

private:
    struct Store;
    bool chainsToAnAuthority(void *chain);

    QByteArray m_trusted;
    QString m_authorities;
    std::unique_ptr<Store> m_ownStore; // the authorities file's, read when first needed
    QByteArray m_presented;
    bool m_refused = false;
};

// A SHA-256 as people compare it: upper-case hex pairs joined by ":".
QByteArray fingerprintText(const QByteArray &digest);

} // namespace inet
