// Private-key files as Korean certificate software writes them, and the
// common PEM and unencrypted forms.
#pragma once

#include "internal.h"

#include <openssl/asn1.h>

namespace otrx {

struct TypeFree {
    void operator()(ASN1_TYPE* t) const noexcept { ASN1_TYPE_free(t); }
};
using Asn1TypePtr = std::unique_ptr<ASN1_TYPE, TypeFree>;

struct DecodedKey {
    PkeyPtr pkey;
    Asn1TypePtr random;  // identity-check random number, when the key carries one
};

// Opens the bytes of a key file with `password` (UTF-8; tried again in
// CP949 when it is not ASCII and does not open the key).
[[nodiscard]] Status decodePrivateKey(const SecretBytes& file, const char* password,
                                      DecodedKey& out);

// The seedCBCWithSHA1 key derivation: PBKDF1-SHA1 over password and salt,
// the key the first 16 bytes, the IV the first 16 bytes of SHA-1 over the
// last 4. Exposed for the fixture tool, which writes such key files.
[[nodiscard]] Status deriveSeedCbcWithSha1(const unsigned char* password, size_t passwordLength,
                                           const unsigned char* salt, size_t saltLength,
                                           long iterations, unsigned char key[16],
                                           unsigned char iv[16]);

}  // namespace otrx
