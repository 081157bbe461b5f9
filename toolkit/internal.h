// Pieces that the toolkit's areas share: the OpenSSL library context, owning
// handles, secret buffers, file input and all-or-nothing file output.
#pragma once

#include "otrx.h"
#include "otrx_status.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace otrx {

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const noexcept {
        Free(p);
    }
};

using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo_free>>;
using CipherPtr = std::unique_ptr<EVP_CIPHER, Deleter<EVP_CIPHER_free>>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, Deleter<EVP_CIPHER_CTX_free>>;
using MdPtr = std::unique_ptr<EVP_MD, Deleter<EVP_MD_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>>;

struct X509StackFree {
    void operator()(STACK_OF(X509) * s) const noexcept { sk_X509_pop_free(s, X509_free); }
};
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackFree>;

// The toolkit's own library context, with the "legacy" provider (SEED) and
// the "default" one. Null when even the default provider cannot be loaded.
OSSL_LIB_CTX* libraryContext();

// Bytes that are wiped before their memory is given back.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(size_t size) : bytes_(size) {}
    SecretBytes(const unsigned char* data, size_t size) : bytes_(data, data + size) {}
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    ~SecretBytes() { wipe(); }

    unsigned char* data() { return bytes_.data(); }
    const unsigned char* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    // Shrinks without reallocating, wiping the cut-off tail.
    void truncate(size_t size);

private:
    void wipe();
    std::vector<unsigned char> bytes_;
};

// A file's bytes. The buffer is not cleared before it is filled: messages run
// to tens of megabytes, and clearing them first costs as much as parsing.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(size_t size);
    unsigned char* data() { return data_.get(); }
    const unsigned char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void truncate(size_t size) { size_ = std::min(size, size_); }

private:
    std::unique_ptr<unsigned char, Deleter<std::free>> data_;
    size_t size_ = 0;
};

// The largest files the toolkit reads: messages (enveloped and signed
// data), and everything else (certificates, keys, trust configurations).
constexpr size_t kMaxMessageFile = size_t{1} << 30;
constexpr size_t kMaxSmallFile = size_t{4} << 20;

// Reads a whole regular file of at most `limit` bytes. kFileUnreadable
// when it cannot be opened or read, is no regular file (a FIFO, a device,
// a folder) or is larger.
[[nodiscard]] Status readFile(const char* path, Bytes& out, size_t limit = kMaxSmallFile);
[[nodiscard]] Status readSecretFile(const char* path, SecretBytes& out,
                                    size_t limit = kMaxSmallFile);

// Writes a file all at once or not at all: the bytes go to a temporary file
// beside the target, which replaces the target only on commit(). An output
// that is never committed leaves the target as it was.
class AtomicOutput {
public:
    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    ~AtomicOutput();

    [[nodiscard]] Status open(const char* path);
    BIO* bio() const { return bio_.get(); }
    [[nodiscard]] Status commit();

private:
    void discard();
    std::string target_;
    std::string temporary_;
    BioPtr bio_;
};

// Opens a regular file of at most kMaxMessageFile bytes for the streaming
// reads of CMS making.
[[nodiscard]] Status openInput(const char* path, BioPtr& in);
// Writes a CMS message as DER, all at once or not at all.
[[nodiscard]] Status writeCms(const char* path, CMS_ContentInfo* cms);

// Parses a certificate from DER or PEM in the toolkit's library context;
// null when the bytes hold none.
X509Ptr parseCertificate(const unsigned char* data, size_t size);

// Parses a CMS ContentInfo in the toolkit's library context; null when the
// bytes are not one (trailing bytes included).
CmsPtr parseCms(const Bytes& der);

// Reads and parses a CMS file of the content type `nid` (NID_pkcs7_signed,
// NID_pkcs7_enveloped); `malformed` for any file that holds no such message.
// The file's bytes are released before this returns.
[[nodiscard]] Status loadCms(const char* path, int nid, Status malformed, CmsPtr& cms);

// A signed message's first signer info, null when it has none; the
// certificate the message carries for it, null when it carries none; its
// signing-time attribute as Unix time, false when there is none.
CMS_SignerInfo* firstSigner(CMS_ContentInfo* cms);
X509Ptr signerCertificate(CMS_ContentInfo* cms);
bool signingTimeOf(CMS_SignerInfo* signer, uint32_t& unixTime);

// The OpenSSL errors of a failed call, taken off the thread's queue.
struct OsslErrors {
    std::vector<unsigned long> codes;
    bool has(int library, int reason) const;
    bool hasLibrary(int library) const;
};
OsslErrors takeErrors();

// Text output into a caller's buffer of `capacity` bytes, cut at a UTF-8
// character boundary when it does not fit (then kBufferTooSmall).
[[nodiscard]] Status copyText(const std::string& text, char* buffer, int32_t capacity);

// Runs a toolkit entry point so that no exception leaves it.
template <typename F>
int32_t guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternalError;
    }
}

// The OpenSSL objects that a loaded toolkit object holds; null for a null or
// empty object.
inline X509* certOf(const OTRX_CERTIFICATE* cert) {
    return cert ? static_cast<X509*>(cert->x509) : nullptr;
}
inline EVP_PKEY* pkeyOf(const OTRX_PRIVATEKEY* key) {
    return key ? static_cast<EVP_PKEY*>(key->pkey) : nullptr;
}

}  // namespace otrx
