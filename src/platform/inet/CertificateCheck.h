#pragma once

#include <QByteArray>

#include <curl/curl.h>

namespace inet {

// The check of a TLS server's certificate in every handshake of the easy handles
// it is applied to, run inside the handshake and so before a word of a login is
// sent. A server the user trusted earlier is accepted with exactly that
// certificate (known by its SHA-256) and no other; any other server's
// certificate must chain to the system's trust store and name the server.
class CertificateCheck
{
public:
    // trusted: the SHA-256 of the certificate the user trusted for this server;
    // empty when there is none.
    explicit CertificateCheck(const QByteArray &trusted = {});

    void applyTo(CURL *easy);

    // The SHA-256 of the certificate the server presented in the last handshake;
    // empty before any.
    QByteArray presented() const { return m_presented; }
    // Whether the last handshake ended because its certificate failed the check.
    bool refused() const { return m_refused; }
    bool isPinned() const { return !m_trusted.isEmpty(); }

    // Called by the handshake with the server's certificate chain (an OpenSSL
    // X509_STORE_CTX); 1 accepts it.
    int verify(void *store);

private:
    QByteArray m_trusted;
    QByteArray m_presented;
    bool m_refused = false;
};

// A SHA-256 as people compare it: upper-case hex pairs joined by ":".
QByteArray fingerprintText(const QByteArray &digest);

} // namespace inet
