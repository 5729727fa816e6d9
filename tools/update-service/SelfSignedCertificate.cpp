#include "SelfSignedCertificate.h"

#include <openssl/err.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

namespace qrnv::standin {
namespace {

constexpr long kDaySeconds = 24L * 60 * 60;

std::string OpenSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

bool AddExtension(X509* cert, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) {
        return false;
    }
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

} // namespace

bool MakeSelfSignedCertificate(bool expired, CertificateAndKey& out, std::string& error)
{
    UniqueEvpPkey key(EVP_RSA_gen(2048));
    if (!key) {
        error = OpenSslError("RSA key generation failed");
        return false;
    }
    UniqueX509 cert(X509_new());
    if (!cert) {
        error = OpenSslError("X509_new failed");
        return false;
    }
    unsigned char serial[8];
    if (RAND_bytes(serial, sizeof serial) != 1) {
        error = OpenSslError("RAND_bytes failed");
        return false;
    }
    serial[0] &= 0x7F; // a positive serial number
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);

    const long from = expired ? -30 * kDaySeconds : -60;
    const long to = expired ? -kDaySeconds : 30 * kDaySeconds;
    X509_NAME* name = X509_get_subject_name(cert.get());
    const bool ok = serialSet && X509_set_version(cert.get(), 2) == 1
        && X509_gmtime_adj(X509_getm_notBefore(cert.get()), from) && X509_gmtime_adj(X509_getm_notAfter(cert.get()), to)
        && X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char*>("Quarn Renova test service"), -1, -1, 0)
        && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                                      -1, -1, 0)
        && X509_set_issuer_name(cert.get(), name) == 1 && X509_set_pubkey(cert.get(), key.get()) == 1
        && AddExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost")
        && AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE")
        && AddExtension(cert.get(), NID_ext_key_usage, "serverAuth")
        && X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    if (!ok) {
        error = OpenSslError("building the certificate failed");
        return false;
    }
    out.certificate = std::move(cert);
    out.key = std::move(key);
    return true;
}

} // namespace qrnv::standin
