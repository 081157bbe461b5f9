// Key and certificate objects.
#include "keyfile.h"
#include "names.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using namespace otrx;

namespace {

void releaseKey(OTRX_PRIVATEKEY* key) {
    EVP_PKEY_free(static_cast<EVP_PKEY*>(key->pkey));
    ASN1_TYPE_free(static_cast<ASN1_TYPE*>(key->random));
    key->pkey = nullptr;
    key->random = nullptr;
}

void releaseCert(OTRX_CERTIFICATE* cert) {
    X509_free(static_cast<X509*>(cert->x509));
    cert->x509 = nullptr;
}

bool isPem(const unsigned char* data, size_t size) {
    static const char kMarker[] = "-----BEGIN CERTIFICATE-----";
    const auto* begin = reinterpret_cast<const char*>(data);
    const auto* end = begin + size;
    return std::search(begin, end, kMarker, kMarker + sizeof kMarker - 1) != end;
}

template <typename Query>
int32_t queryText(char* buffer, int32_t capacity, const OTRX_CERTIFICATE* cert, Query query) {
    return guarded([&]() -> int32_t {
        X509* x509 = certOf(cert);
        if (buffer == nullptr || capacity <= 0) {
            return kInvalidArgument;
        }
        if (x509 == nullptr) {
            return kEmptyObject;
        }
        std::string text;
        if (!query(x509, text)) {
            ERR_clear_error();
            return kCertificateMalformed;
        }
        return copyText(text, buffer, capacity);
    });
}

}  // namespace

namespace otrx {

namespace {

X509Ptr decodeCertificate(const unsigned char* data, size_t size) {
    X509Ptr x509(X509_new_ex(libraryContext(), nullptr));
    if (!x509 || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    X509* raw = x509.release();
    if (isPem(data, size)) {
        BioPtr bio(BIO_new_mem_buf(data, static_cast<int>(size)));
        if (!bio || PEM_read_bio_X509(bio.get(), &raw, nullptr, nullptr) == nullptr) {
            X509_free(raw);
            ERR_clear_error();
            return nullptr;
        }
        return X509Ptr(raw);
    }
    const unsigned char* p = data;
    // On failure d2i frees the object it was given and clears the pointer.
    if (d2i_X509(&raw, &p, static_cast<long>(size)) == nullptr) {
        X509_free(raw);
        ERR_clear_error();
        return nullptr;
    }
    return X509Ptr(raw);
}

// Decoding a certificate costs OpenSSL 3.0 a public-key decoder set-up of
// about a tenth of a millisecond, and one unsealing reads the same few
// certificates (the user's, the trust configuration's) a dozen times. The
// last certificates decoded are kept, by their exact encoding, and shared:
// a certificate object is reference counted and never changed once parsed.
class CertificateCache {
public:
    X509Ptr parse(const unsigned char* data, size_t size) {
        if (size > kMaxEncoding) {
            return decodeCertificate(data, size);
        }
        const std::string key(reinterpret_cast<const char*>(data), size);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Entry& entry : entries_) {
                if (entry.encoding == key) {
                    X509_up_ref(entry.x509.get());
                    return X509Ptr(entry.x509.get());
                }
            }
        }
        X509Ptr x509 = decodeCertificate(data, size);
        if (x509) {
            X509_up_ref(x509.get());
            std::lock_guard<std::mutex> lock(mutex_);
            if (entries_.size() >= kEntries) {
                entries_.erase(entries_.begin());
            }
            entries_.push_back({key, X509Ptr(x509.get())});
        }
        return x509;
    }

private:
    static constexpr size_t kEntries = 32;
    static constexpr size_t kMaxEncoding = 64 * 1024;
    struct Entry {
        std::string encoding;
        X509Ptr x509;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

CertificateCache& certificateCache() {
    // Made after the library context (and so after OpenSSL's start-up), so
    // that it is released before OpenSSL cleans up.
    (void)libraryContext();
    static CertificateCache cache;
    return cache;
}

}  // namespace

X509Ptr parseCertificate(const unsigned char* data, size_t size) {
    if (data == nullptr || size == 0) {
        return nullptr;
    }
    return certificateCache().parse(data, size);
}

}  // namespace otrx

extern "C" {

int32_t OTRX_PRIVATEKEY_Create(OTRX_PRIVATEKEY* key) {
    if (key == nullptr) {
        return kInvalidArgument;
    }
    key->pkey = nullptr;
    key->random = nullptr;
    return kOk;
}

int32_t OTRX_PRIVATEKEY_Delete(OTRX_PRIVATEKEY* key) {
    if (key == nullptr) {
        return kInvalidArgument;
    }
    releaseKey(key);
    return kOk;
}

int32_t OTRX_PRIVATEKEY_Read_File(OTRX_PRIVATEKEY* key, const char* keyFile,
                                  const char* password) {
    return guarded([&]() -> int32_t {
        if (key == nullptr) {
            return kInvalidArgument;
        }
        SecretBytes file;
        Status status = readSecretFile(keyFile, file);
        if (status != kOk) {
            return status;
        }
        DecodedKey decoded;
        status = decodePrivateKey(file, password, decoded);
        ERR_clear_error();
        if (status != kOk) {
            return status;
        }
        releaseKey(key);
        key->pkey = decoded.pkey.release();
        key->random = decoded.random.release();
        return kOk;
    });
}

int32_t OTRX_PRIVATEKEY_CheckPair(const OTRX_PRIVATEKEY* key, const OTRX_CERTIFICATE* cert) {
    return guarded([&]() -> int32_t {
        if (key == nullptr || cert == nullptr) {
            return kInvalidArgument;
        }
        EVP_PKEY* pkey = pkeyOf(key);
        X509* x509 = certOf(cert);
        if (pkey == nullptr || x509 == nullptr) {
            return kEmptyObject;
        }
        int same = EVP_PKEY_eq(X509_get0_pubkey(x509), pkey);
        ERR_clear_error();
        return same == 1 ? kOk : kKeyCertificateMismatch;
    });
}

int32_t OTRX_CERTIFICATE_Create(OTRX_CERTIFICATE* cert) {
    if (cert == nullptr) {
        return kInvalidArgument;
    }
    cert->x509 = nullptr;
    return kOk;
}

int32_t OTRX_CERTIFICATE_Delete(OTRX_CERTIFICATE* cert) {
    if (cert == nullptr) {
        return kInvalidArgument;
    }
    releaseCert(cert);
    return kOk;
}

int32_t OTRX_CERTIFICATE_Read_File(OTRX_CERTIFICATE* cert, const char* certFile) {
    return guarded([&]() -> int32_t {
        if (cert == nullptr) {
            return kInvalidArgument;
        }
        Bytes bytes;
        Status status = readFile(certFile, bytes);
        if (status != kOk) {
            return status;
        }
        X509Ptr x509 = parseCertificate(bytes.data(), bytes.size());
        if (!x509) {
            return kCertificateMalformed;
        }
        releaseCert(cert);
        cert->x509 = x509.release();
        return kOk;
    });
}

int32_t OTRX_CERTIFICATE_GetSubjectName(char* buffer, int32_t capacity,
                                        const OTRX_CERTIFICATE* cert) {
    return queryText(buffer, capacity, cert, [](X509* x509, std::string& text) {
        return formatName(X509_get_subject_name(x509), text);
    });
}

int32_t OTRX_CERTIFICATE_GetIssuerName(char* buffer, int32_t capacity,
                                       const OTRX_CERTIFICATE* cert) {
    return queryText(buffer, capacity, cert, [](X509* x509, std::string& text) {
        return formatName(X509_get_issuer_name(x509), text);
    });
}

int32_t OTRX_CERTIFICATE_GetSerialNumber(char* buffer, int32_t capacity,
                                         const OTRX_CERTIFICATE* cert) {
    return queryText(buffer, capacity, cert, [](X509* x509, std::string& text) {
        std::unique_ptr<BIGNUM, Deleter<BN_free>> bn(
            ASN1_INTEGER_to_BN(X509_get0_serialNumber(x509), nullptr));
        char* decimal = bn ? BN_bn2dec(bn.get()) : nullptr;
        if (decimal == nullptr) {
            return false;
        }
        text = decimal;
        OPENSSL_free(decimal);
        return true;
    });
}

}  // extern "C"
