#pragma once
// A certificate that no client trusts, made at start for the TLS endpoint.

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace qrnv::standin {

struct X509Deleter {
    void operator()(X509* p) const { X509_free(p); }
};
struct EvpPkeyDeleter {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
using UniqueX509 = std::unique_ptr<X509, X509Deleter>;
using UniqueEvpPkey = std::unique_ptr<EVP_PKEY, EvpPkeyDeleter>;

struct CertificateAndKey {
    UniqueX509 certificate;
    UniqueEvpPkey key;
};

// A self-signed RSA certificate for 127.0.0.1, ::1 and localhost, valid from now for 30 days,
// or, with `expired`, one whose validity ended yesterday. False with `error` set on failure.
bool MakeSelfSignedCertificate(bool expired, CertificateAndKey& out, std::string& error);

} // namespace qrnv::standin
