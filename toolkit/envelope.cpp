// Enveloped data: CMS EnvelopedData in DER, RSA key transport.
#include "internal.h"

#include <openssl/err.h>

using namespace otrx;

namespace {

// One element of a DER encoding at `p`: its tag, class and content. False
// for a malformed element and for an indefinite length (BER).
bool element(const unsigned char*& p, long& remaining, int& tag, int& cls,
             const unsigned char*& content, long& length) {
    const unsigned char* start = p;
    const int flags = ASN1_get_object(&p, &length, &tag, &cls, remaining);
    if ((flags & 0x80) != 0 || (flags & 0x01) != 0) {
        ERR_clear_error();
        return false;
    }
    content = p;
    p += length;
    remaining -= p - start;
    return true;
}

// The content-encryption algorithm of a DER EnvelopedData ContentInfo, or
// NID_undef where it cannot be found.
int contentCipher(const unsigned char* der, long size) {
    const unsigned char* p = der;
    long remaining = size;
    int tag = 0;
    int cls = 0;
    const unsigned char* content = nullptr;
    long length = 0;
    // ContentInfo, then its [0] content, then the EnvelopedData.
    if (!element(p, remaining, tag, cls, content, length) || tag != V_ASN1_SEQUENCE) {
        return NID_undef;
    }
    p = content;
    remaining = length;
    if (!element(p, remaining, tag, cls, content, length) ||
        !element(p, remaining, tag, cls, content, length) || cls != V_ASN1_CONTEXT_SPECIFIC) {
        return NID_undef;
    }
    p = content;
    remaining = length;
    if (!element(p, remaining, tag, cls, content, length) || tag != V_ASN1_SEQUENCE) {
        return NID_undef;
    }
    p = content;
    remaining = length;
    // version, [0] originatorInfo where present, recipientInfos.
    if (!element(p, remaining, tag, cls, content, length)) {
        return NID_undef;
    }
    do {
        if (!element(p, remaining, tag, cls, content, length)) {
            return NID_undef;
        }
    } while (cls == V_ASN1_CONTEXT_SPECIFIC);
    // encryptedContentInfo: contentType, then the algorithm.
    if (!element(p, remaining, tag, cls, content, length) || tag != V_ASN1_SEQUENCE) {
        return NID_undef;
    }
    p = content;
    remaining = length;
    if (!element(p, remaining, tag, cls, content, length) ||
        !element(p, remaining, tag, cls, content, length) || tag != V_ASN1_SEQUENCE) {
        return NID_undef;
    }
    const unsigned char* oid = content;
    ASN1_OBJECT* algorithm = d2i_ASN1_OBJECT(nullptr, &oid, length);
    const int nid = algorithm != nullptr ? OBJ_obj2nid(algorithm) : NID_undef;
    ASN1_OBJECT_free(algorithm);
    ERR_clear_error();
    return nid;
}

// SEED, AES and 3DES in CBC mode: nothing weaker opens a document.
bool cipherAllowed(int nid) {
    switch (nid) {
        case NID_seed_cbc:
        case NID_aes_128_cbc:
        case NID_aes_192_cbc:
        case NID_aes_256_cbc:
        case NID_des_ede3_cbc:
            return true;
        default:
            return false;
    }
}

// The envelope's cipher, read from the file's bytes or, for an envelope in
// BER with indefinite lengths, from its DER form.
bool envelopeCipherAllowed(const Bytes& file, CMS_ContentInfo* cms) {
    int nid = contentCipher(file.data(), static_cast<long>(file.size()));
    if (nid == NID_undef) {
        unsigned char* der = nullptr;
        const int length = i2d_CMS_ContentInfo(cms, &der);
        if (length > 0) {
            nid = contentCipher(der, length);
        }
        OPENSSL_free(der);
    }
    return cipherAllowed(nid);
}

}  // namespace

extern "C" {

int32_t OTRX_PE_Encrypt_File(const char* output, const char* input,
                             const OTRX_CERTIFICATE* recipient, int32_t cipherConstant) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (cipherConstant != OTRX_PE_CIPHER_SEED_CBC) {
            return kUnsupportedCipher;
        }
        X509* x509 = certOf(recipient);
        if (x509 == nullptr) {
            return recipient == nullptr ? kInvalidArgument : kEmptyObject;
        }
        if (libraryContext() == nullptr) {
            return kAlgorithmUnavailable;
        }
        CipherPtr cipher(EVP_CIPHER_fetch(libraryContext(), "SEED-CBC", nullptr));
        if (!cipher) {
            return kAlgorithmUnavailable;
        }
        BioPtr in;
        Status status = openInput(input, in);
        if (status != kOk) {
            return status;
        }
        X509StackPtr recipients(sk_X509_new_null());
        if (!recipients || !sk_X509_push(recipients.get(), x509)) {
            return kOutOfMemory;
        }
        X509_up_ref(x509);
        CmsPtr cms(CMS_encrypt_ex(recipients.get(), in.get(), cipher.get(), CMS_BINARY,
                                  libraryContext(), nullptr));
        if (!cms) {
            ERR_clear_error();
            return kInternalError;
        }
        return writeCms(output, cms.get());
    });
}

int32_t OTRX_PE_Decrypt_File(const char* output, const char* input, const OTRX_PRIVATEKEY* key) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        EVP_PKEY* pkey = pkeyOf(key);
        if (pkey == nullptr) {
            return key == nullptr ? kInvalidArgument : kEmptyObject;
        }
        Bytes file;
        Status status = readFile(input, file, kMaxMessageFile);
        if (status != kOk) {
            return status;
        }
        CmsPtr cms = parseCms(file);
        if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_enveloped) {
            ERR_clear_error();
            return kEnvelopeMalformed;
        }
        if (!envelopeCipherAllowed(file, cms.get())) {
            return kCipherNotAllowed;
        }
        file = Bytes();
        AtomicOutput out;
        status = out.open(output);
        if (status != kOk) {
            return status;
        }
        // Without a certificate every recipient is tried; the debug flag makes
        // a key that fits none of them fail at once instead of decrypting
        // with a random key.
        if (CMS_decrypt(cms.get(), pkey, nullptr, nullptr, out.bio(),
                        CMS_BINARY | CMS_DEBUG_DECRYPT) != 1) {
            OsslErrors errors = takeErrors();
            // The key's RSA decryption of the content key failed: it is not
            // the key this envelope was made for.
            if (errors.hasLibrary(ERR_LIB_RSA) ||
                errors.has(ERR_LIB_CMS, CMS_R_NO_MATCHING_RECIPIENT) ||
                errors.has(ERR_LIB_CMS, CMS_R_DECRYPT_ERROR) ||
                errors.has(ERR_LIB_EVP, EVP_R_BAD_DECRYPT) ||
                errors.has(ERR_LIB_CMS, CMS_R_INVALID_KEY_LENGTH)) {
                return kKeyTransportFailed;
            }
            if (errors.has(ERR_LIB_EVP, EVP_R_UNSUPPORTED_CIPHER) ||
                errors.has(ERR_LIB_CMS, CMS_R_UNKNOWN_CIPHER) ||
                errors.has(ERR_LIB_EVP, ERR_R_UNSUPPORTED)) {
                return kAlgorithmUnavailable;
            }
            return kEnvelopeMalformed;
        }
        ERR_clear_error();
        return out.commit();
    });
}

}  // extern "C"
