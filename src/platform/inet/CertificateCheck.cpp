#include "platform/inet/CertificateCheck.h"

#include <QFile>

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <mutex>

namespace inet {

namespace {

int onVerify(X509_STORE_CTX *chain, void *check)
{
    return static_cast<CertificateCheck *>(check)->verify(chain);
}

CURLcode onContext(CURL *, void *context, void *check)
{
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX *>(context), &onVerify, check);
    return CURLE_OK;
}

// The system's trust store, read once and shared by every check of the process
// (an X509_STORE may serve several threads at once).
X509_STORE *systemStore()
{
    static X509_STORE *store = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        store = X509_STORE_new();
        if (store && X509_STORE_set_default_paths(store) != 1) {
            X509_STORE_free(store);
            store = nullptr;
        }
    });
    return store;
}

} // namespace

struct CertificateCheck::Store
{
    X509_STORE *store = X509_STORE_new();
    ~Store() { X509_STORE_free(store); }
};

CertificateCheck::CertificateCheck(const QByteArray &trusted, const QString &authorities)
    : m_trusted(trusted)
    , m_authorities(authorities)
{ }

CertificateCheck::~CertificateCheck() = default;

void CertificateCheck::applyTo(CURL *easy)
{
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &onContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    // The check brings its own store: libcurl need not read the system's for
    // every handshake.
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    // The certificate the user trusted was shown with the server's name: that
    // exact certificate stands for the server, whatever names it carries.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, isPinned() ? 0L : 2L);
}

int CertificateCheck::verify(void *context)
{
    auto *chain = static_cast<X509_STORE_CTX *>(context);
    X509 *leaf = X509_STORE_CTX_get0_cert(chain);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    m_refused = true;
    if (!leaf || !X509_digest(leaf, EVP_sha256(), digest, &length))
        return 0;
    m_presented = QByteArray(reinterpret_cast<const char *>(digest), int(length));
    m_refused = isPinned() ? m_presented != m_trusted : !chainsToAnAuthority(chain);
    return m_refused ? 0 : 1;
}

bool CertificateCheck::chainsToAnAuthority(void *context)
{
    auto *chain = static_cast<X509_STORE_CTX *>(context);
    X509_STORE *authorities = systemStore();
    if (!m_authorities.isEmpty()) {
        if (!m_ownStore) {
            m_ownStore = std::make_unique<Store>();
            X509_STORE_load_file(m_ownStore->store, QFile::encodeName(m_authorities).constData());
        }
        authorities = m_ownStore->store;
    }
    X509_STORE_CTX *check = X509_STORE_CTX_new();
    bool good = authorities && check
        && X509_STORE_CTX_init(
               check, authorities, X509_STORE_CTX_get0_cert(chain), X509_STORE_CTX_get0_untrusted(chain))
            == 1
        && X509_STORE_CTX_set_default(check, "ssl_server") == 1 && X509_verify_cert(check) == 1;
    X509_STORE_CTX_free(check);
    return good;
}

QByteArray fingerprintText(const QByteArray &digest)
{
    return digest.toHex(':').toUpper();
}

} // namespace inet
