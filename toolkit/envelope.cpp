// Enveloped data: CMS EnvelopedData in DER, RSA key transport.
#include "internal.h"

#include <openssl/err.h>

using namespace otrx;

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
        CmsPtr cms;
        Status status = loadCms(input, NID_pkcs7_enveloped, kEnvelopeMalformed, cms);
        if (status != kOk) {
            return status;
        }
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
