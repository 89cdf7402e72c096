#include "platform/inet/CertificateCheck.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace inet {

namespace {

int onVerify(X509_STORE_CTX *store, void *check)
{
    return static_cast<CertificateCheck *>(check)->verify(store);
}

CURLcode onContext(CURL *, void *context, void *check)
{
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX *>(context), &onVerify, check);
    return CURLE_OK;
}

} // namespace

CertificateCheck::CertificateCheck(const QByteArray &trusted)
    : m_trusted(trusted)
{ }

void CertificateCheck::applyTo(CURL *easy)
{
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &onContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    // The certificate the user trusted was shown with the server's name: that
    // exact certificate stands for the server, whatever names it carries.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, isPinned() ? 0L : 2L);
}

int CertificateCheck::verify(void *context)
{
    auto *store = static_cast<X509_STORE_CTX *>(context);
    X509 *leaf = X509_STORE_CTX_get0_cert(store);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    m_refused = true;
    if (!leaf || !X509_digest(leaf, EVP_sha256(), digest, &length))
        return 0;
    m_presented = QByteArray(reinterpret_cast<const char *>(digest), int(length));
    if (isPinned())
        m_refused = m_presented != m_trusted;
    else
        m_refused = X509_verify_cert(store) <= 0;
    return m_refused ? 0 : 1;
}

QByteArray fingerprintText(const QByteArray &digest)
{
    return digest.toHex(':').toUpper();
}

} // namespace inet
