// Owning pointers over OpenSSL's objects, each freed by its own function.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace rtc {

template <class T, void (*Free)(T*)>
struct OpenSslFree
{
    void operator()(T* p) const { Free(p); }
};

using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, OpenSslFree<X509, X509_free>>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, OpenSslFree<SSL_CTX, SSL_CTX_free>>;
using SslPtr = std::unique_ptr<SSL, OpenSslFree<SSL, SSL_free>>;
using BioMethodPtr = std::unique_ptr<BIO_METHOD, OpenSslFree<BIO_METHOD, BIO_meth_free>>;

} // namespace rtc
