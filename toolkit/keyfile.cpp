#include "keyfile.h"

#include <openssl/decoder.h>

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <iconv.h>

#include <algorithm>
#include <climits>

#include <cstring>

namespace otrx {

namespace {

// seedCBCWithSHA1 and the older seedCBC scheme that uses the same parameters
// with a fixed IV.
constexpr const char* kSeedCbcWithSha1Oid = "1.2.410.200004.1.15";
constexpr const char* kSeedCbcOid = "1.2.410.200004.1.4";
constexpr const char* kIdentityRandomOid = "1.2.410.200004.10.1.1.3";
constexpr unsigned char kOldSeedIv[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                          '8', '9', '0', '1', '2', '3', '4', '5'};
// Key files use 2048; a far larger count only makes opening a file hang.
// The same bound holds for every scheme, and scrypt's costs are bounded
// to a few seconds and 128 MiB.
constexpr long kMaxIterations = 1000000;
constexpr long kMaxScryptCost = 1L << 17;
constexpr long kMaxScryptBlockSize = 8;
constexpr long kMaxScryptParallel = 16;

using SigPtr = std::unique_ptr<X509_SIG, Deleter<X509_SIG_free>>;
using P8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, Deleter<PKCS8_PRIV_KEY_INFO_free>>;
using PbeParamPtr = std::unique_ptr<PBEPARAM, Deleter<PBEPARAM_free>>;
using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, Deleter<PBE2PARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, Deleter<PBKDF2PARAM_free>>;
using ScryptParamPtr = std::unique_ptr<SCRYPT_PARAMS, Deleter<SCRYPT_PARAMS_free>>;

std::string oidText(const ASN1_OBJECT* oid) {
    char text[128];
    int n = OBJ_obj2txt(text, sizeof text, oid, 1);
    return n > 0 && static_cast<size_t>(n) < sizeof text ? std::string(text) : std::string();
}

// The algorithm's parameters unpacked as `item`; null when they are no
// SEQUENCE of that shape.
void* unpackParameters(const X509_ALGOR* algorithm, const ASN1_ITEM* item) {
    const void* parameter = nullptr;
    int parameterType = 0;
    X509_ALGOR_get0(nullptr, &parameterType, &parameter, algorithm);
    if (parameterType != V_ASN1_SEQUENCE) {
        return nullptr;
    }
    ASN1_TYPE wrapped{};
    wrapped.type = V_ASN1_SEQUENCE;
    wrapped.value.sequence = const_cast<ASN1_STRING*>(static_cast<const ASN1_STRING*>(parameter));
    return ASN1_TYPE_unpack_sequence(item, &wrapped);
}

bool withinBound(const ASN1_INTEGER* value, long bound) {
    const long n = value != nullptr ? ASN1_INTEGER_get(value) : 0;
    return n >= 1 && n <= bound;
}

bool isAscii(const char* text) {
    for (const char* p = text; *p; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The same password in CP949, the code page keys made on Korean Windows use.
bool toCp949(const char* utf8, SecretBytes& out) {
    iconv_t cd = iconv_open("CP949", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    size_t inLeft = std::strlen(utf8);
    SecretBytes buffer(inLeft * 2 + 1);
    char* in = const_cast<char*>(utf8);
    char* outPtr = reinterpret_cast<char*>(buffer.data());
    size_t outLeft = buffer.size();
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft != 0) {
        return false;
    }
    buffer.truncate(buffer.size() - outLeft);
    out = std::move(buffer);
    return true;
}

// The key of a DER PrivateKeyInfo. A decoder asked for the key's own
// algorithm is set up four times faster than the one EVP_PKCS82PKEY_ex sets
// up for every algorithm; that one stays for what the first does not take.
PkeyPtr keyFromPrivateKeyInfo(const unsigned char* der, size_t length,
                              const PKCS8_PRIV_KEY_INFO* p8) {
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OBJECT* oid = nullptr;
    if (PKCS8_pkey_get0(nullptr, nullptr, nullptr, &algorithm, p8) == 1) {
        X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    }
    const std::string keyType = oid != nullptr ? oidText(oid) : std::string();
    EVP_PKEY* raw = nullptr;
    using DecoderPtr = std::unique_ptr<OSSL_DECODER_CTX, Deleter<OSSL_DECODER_CTX_free>>;
    DecoderPtr decoder(keyType.empty() ? nullptr
                                       : OSSL_DECODER_CTX_new_for_pkey(
                                             &raw, "DER", "PrivateKeyInfo", keyType.c_str(),
                                             EVP_PKEY_KEYPAIR, libraryContext(), nullptr));
    const unsigned char* p = der;
    size_t left = length;
    if (decoder && OSSL_DECODER_from_data(decoder.get(), &p, &left) == 1 && raw != nullptr) {
        return PkeyPtr(raw);
    }
    EVP_PKEY_free(raw);
    ERR_clear_error();
    return PkeyPtr(EVP_PKCS82PKEY_ex(p8, libraryContext(), nullptr));
}

Status keyFromPkcs8(const unsigned char* der, size_t length, DecodedKey& out, Status mismatch) {
    const unsigned char* p = der;
    P8Ptr p8(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, static_cast<long>(length)));
    if (!p8 || p != der + length) {
        return mismatch;
    }
    PkeyPtr pkey = keyFromPrivateKeyInfo(der, length, p8.get());
    if (!pkey) {
        return mismatch;
    }
    Asn1TypePtr random;
    const STACK_OF(X509_ATTRIBUTE)* attributes = PKCS8_pkey_get0_attrs(p8.get());
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
        if (oidText(X509_ATTRIBUTE_get0_object(attribute)) != kIdentityRandomOid) {
            continue;
        }
        ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
        if (value != nullptr) {
            random.reset(static_cast<ASN1_TYPE*>(
                ASN1_item_dup(ASN1_ITEM_rptr(ASN1_ANY), value)));
        }
    }
    out.pkey = std::move(pkey);
    out.random = std::move(random);
    return kOk;
}

Status seedDecrypt(const unsigned char key[16], const unsigned char iv[16],
                   const ASN1_OCTET_STRING* encrypted, SecretBytes& plain) {
    CipherPtr cipher(EVP_CIPHER_fetch(libraryContext(), "SEED-CBC", nullptr));
    if (!cipher) {
        return kAlgorithmUnavailable;
    }
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    if (!ctx) {
        return kOutOfMemory;
    }
    int length = ASN1_STRING_length(encrypted);
    SecretBytes buffer(static_cast<size_t>(length) + 16);
    int n1 = 0;
    int n2 = 0;
    if (EVP_DecryptInit_ex2(ctx.get(), cipher.get(), key, iv, nullptr) != 1 ||
        EVP_DecryptUpdate(ctx.get(), buffer.data(), &n1, ASN1_STRING_get0_data(encrypted),
                          length) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), buffer.data() + n1, &n2) != 1) {
        ERR_clear_error();
        return kWrongPassword;
    }
    buffer.truncate(static_cast<size_t>(n1 + n2));
    plain = std::move(buffer);
    return kOk;
}

Status openSeedScheme(const X509_SIG* sig, const unsigned char* password, size_t passwordLength,
                      bool oldScheme, DecodedKey& out) {
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* encrypted = nullptr;
    X509_SIG_get0(sig, &algorithm, &encrypted);
    PbeParamPtr params(
        static_cast<PBEPARAM*>(unpackParameters(algorithm, ASN1_ITEM_rptr(PBEPARAM))));
    if (!params || params->salt == nullptr || !withinBound(params->iter, kMaxIterations)) {
        return kKeyMalformed;
    }
    const long iterations = ASN1_INTEGER_get(params->iter);
    unsigned char key[16];
    unsigned char iv[16];
    Status status = deriveSeedCbcWithSha1(
        password, passwordLength, ASN1_STRING_get0_data(params->salt),
        static_cast<size_t>(ASN1_STRING_length(params->salt)), iterations, key, iv);
    if (oldScheme) {
        std::memcpy(iv, kOldSeedIv, sizeof iv);
    }
    SecretBytes plain;
    if (status == kOk) {
        status = seedDecrypt(key, iv, encrypted, plain);
    }
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(iv, sizeof iv);
    if (status != kOk) {
        return status;
    }
    // A wrong password whose padding happens to check out yields bytes that
    // are no PrivateKeyInfo.
    return keyFromPkcs8(plain.data(), plain.size(), out, kWrongPassword);
}

// The key derivation of a PBES2, PKCS#12 or PKCS#5 v1 scheme, checked
// before OpenSSL runs it: its cost is bounded as the SEED schemes' is, and
// its cipher must be there.
Status checkDerivation(const X509_ALGOR* algorithm) {
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    if (OBJ_obj2nid(oid) != NID_pbes2) {
        PbeParamPtr params(
            static_cast<PBEPARAM*>(unpackParameters(algorithm, ASN1_ITEM_rptr(PBEPARAM))));
        return params && withinBound(params->iter, kMaxIterations) ? kOk : kKeyMalformed;
    }
    Pbe2ParamPtr params(
        static_cast<PBE2PARAM*>(unpackParameters(algorithm, ASN1_ITEM_rptr(PBE2PARAM))));
    if (!params || params->keyfunc == nullptr || params->encryption == nullptr) {
        return kKeyMalformed;
    }
    const int kdf = OBJ_obj2nid(params->keyfunc->algorithm);
    if (kdf == NID_id_pbkdf2) {
        Pbkdf2ParamPtr pbkdf2(static_cast<PBKDF2PARAM*>(
            unpackParameters(params->keyfunc, ASN1_ITEM_rptr(PBKDF2PARAM))));
        if (!pbkdf2 || !withinBound(pbkdf2->iter, kMaxIterations)) {
            return kKeyMalformed;
        }
    } else if (kdf == NID_id_scrypt) {
        ScryptParamPtr scrypt(static_cast<SCRYPT_PARAMS*>(
            unpackParameters(params->keyfunc, ASN1_ITEM_rptr(SCRYPT_PARAMS))));
        if (!scrypt || !withinBound(scrypt->costParameter, kMaxScryptCost) ||
            !withinBound(scrypt->blockSize, kMaxScryptBlockSize) ||
            !withinBound(scrypt->parallelizationParameter, kMaxScryptParallel)) {
            return kKeyMalformed;
        }
    } else {
        return kKeyMalformed;
    }
    const char* name = OBJ_nid2sn(OBJ_obj2nid(params->encryption->algorithm));
    CipherPtr cipher(name ? EVP_CIPHER_fetch(libraryContext(), name, nullptr) : nullptr);
    return cipher ? kOk : kAlgorithmUnavailable;
}

// PBES2 and the PKCS#12 schemes, which OpenSSL opens itself.
Status openStandardScheme(const X509_SIG* sig, const unsigned char* password,
                          size_t passwordLength, DecodedKey& out) {
    const X509_ALGOR* algorithm = nullptr;
    X509_SIG_get0(sig, &algorithm, nullptr);
    Status status = checkDerivation(algorithm);
    if (status != kOk) {
        return status;
    }
    P8Ptr p8(PKCS8_decrypt_ex(sig, reinterpret_cast<const char*>(password),
                              static_cast<int>(passwordLength), libraryContext(), nullptr));
    if (!p8) {
        ERR_clear_error();
        return kWrongPassword;
    }
    unsigned char* der = nullptr;
    int length = i2d_PKCS8_PRIV_KEY_INFO(p8.get(), &der);
    if (length <= 0) {
        return kOutOfMemory;
    }
    SecretBytes plain(der, static_cast<size_t>(length));
    OPENSSL_clear_free(der, static_cast<size_t>(length));
    return keyFromPkcs8(plain.data(), plain.size(), out, kWrongPassword);
}

Status openEncrypted(const X509_SIG* sig, const unsigned char* password, size_t passwordLength,
                     DecodedKey& out) {
    const X509_ALGOR* algorithm = nullptr;
    X509_SIG_get0(sig, &algorithm, nullptr);
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    std::string scheme = oidText(oid);
    if (scheme == kSeedCbcWithSha1Oid || scheme == kSeedCbcOid) {
        return openSeedScheme(sig, password, passwordLength, scheme == kSeedCbcOid, out);
    }
    return openStandardScheme(sig, password, passwordLength, out);
}

Status decodeDer(const unsigned char* der, size_t length, const char* password,
                 DecodedKey& out) {
    const unsigned char* p = der;
    SigPtr sig(d2i_X509_SIG(nullptr, &p, static_cast<long>(length)));
    if (sig && p == der + length) {
        const char* pw = password ? password : "";
        Status status = openEncrypted(sig.get(), reinterpret_cast<const unsigned char*>(pw),
                                      std::strlen(pw), out);
        SecretBytes cp949;
        if (status == kWrongPassword && !isAscii(pw) && toCp949(pw, cp949)) {
            status = openEncrypted(sig.get(), cp949.data(), cp949.size(), out);
        }
        return status;
    }
    ERR_clear_error();
    if (keyFromPkcs8(der, length, out, kKeyMalformed) == kOk) {
        return kOk;
    }
    ERR_clear_error();
    p = der;
    PkeyPtr rsa(d2i_PrivateKey_ex(EVP_PKEY_RSA, nullptr, &p, static_cast<long>(length),
                                  libraryContext(), nullptr));
    if (rsa && p == der + length) {
        out.pkey = std::move(rsa);
        out.random.reset();
        return kOk;
    }
    ERR_clear_error();
    return kKeyMalformed;
}

bool looksLikePem(const SecretBytes& file) {
    static const char kMarker[] = "-----BEGIN ";
    const auto* begin = reinterpret_cast<const char*>(file.data());
    return std::search(begin, begin + file.size(), kMarker, kMarker + sizeof kMarker - 1) !=
           begin + file.size();
}

int pemPassword(char* buffer, int size, int, void* user) {
    const char* password = static_cast<const char*>(user);
    int length = static_cast<int>(std::strlen(password));
    if (length > size) {
        return -1;
    }
    std::memcpy(buffer, password, static_cast<size_t>(length));
    return length;
}

// PEM: the DER inside is any of the forms decodeDer reads; a traditional
// "Proc-Type: 4,ENCRYPTED" block is opened here first.
Status decodePem(const SecretBytes& file, const char* password, DecodedKey& out) {
    if (file.size() > static_cast<size_t>(INT_MAX)) {
        return kKeyMalformed;
    }
    BioPtr bio(BIO_new_mem_buf(file.data(), static_cast<int>(file.size())));
    if (!bio) {
        return kOutOfMemory;
    }
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1) {
        ERR_clear_error();
        return kKeyMalformed;
    }
    Status status = kOk;
    EVP_CIPHER_INFO cipher;
    if (PEM_get_EVP_CIPHER_INFO(header, &cipher) != 1) {
        status = kKeyMalformed;
    } else if (cipher.cipher != nullptr &&
               PEM_do_header(&cipher, data, &length, pemPassword,
                             const_cast<char*>(password ? password : "")) != 1) {
        status = kWrongPassword;
    }
    SecretBytes der(data, static_cast<size_t>(length));
    OPENSSL_clear_free(data, static_cast<size_t>(length));
    OPENSSL_free(name);
    OPENSSL_free(header);
    ERR_clear_error();
    if (status != kOk) {
        return status;
    }
    return decodeDer(der.data(), der.size(), password, out);
}

}  // namespace

Status deriveSeedCbcWithSha1(const unsigned char* password, size_t passwordLength,
                             const unsigned char* salt, size_t saltLength, long iterations,
                             unsigned char key[16], unsigned char iv[16]) {
    MdPtr sha1(EVP_MD_fetch(libraryContext(), "SHA1", nullptr));
    using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
    MdCtxPtr ctx(EVP_MD_CTX_new());
    if (!sha1 || !ctx) {
        return kAlgorithmUnavailable;
    }
    unsigned char dk[20];
    bool ok = EVP_DigestInit_ex2(ctx.get(), sha1.get(), nullptr) == 1 &&
              EVP_DigestUpdate(ctx.get(), password, passwordLength) == 1 &&
              EVP_DigestUpdate(ctx.get(), salt, saltLength) == 1 &&
              EVP_DigestFinal_ex(ctx.get(), dk, nullptr) == 1;
    // One context for every round: setting a digest up anew each round
    // cost more than the hashing.
    const auto digest = [&ctx, &sha1](const unsigned char* in, size_t size, unsigned char* to) {
        return EVP_DigestInit_ex2(ctx.get(), sha1.get(), nullptr) == 1 &&
               EVP_DigestUpdate(ctx.get(), in, size) == 1 &&
               EVP_DigestFinal_ex(ctx.get(), to, nullptr) == 1;
    };
    for (long i = 1; ok && i < iterations; ++i) {
        ok = digest(dk, sizeof dk, dk);
    }
    unsigned char ivHash[20];
    ok = ok && digest(dk + 16, 4, ivHash);
    if (ok) {
        std::memcpy(key, dk, 16);
        std::memcpy(iv, ivHash, 16);
    }
    OPENSSL_cleanse(dk, sizeof dk);
    OPENSSL_cleanse(ivHash, sizeof ivHash);
    return ok ? kOk : kInternalError;
}

Status decodePrivateKey(const SecretBytes& file, const char* password, DecodedKey& out) {
    if (libraryContext() == nullptr) {
        return kAlgorithmUnavailable;
    }
    if (file.empty()) {
        return kKeyMalformed;
    }
    if (looksLikePem(file)) {
        return decodePem(file, password, out);
    }
    return decodeDer(file.data(), file.size(), password, out);
}

}  // namespace otrx
