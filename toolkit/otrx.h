// The PKI toolkit: key and certificate objects, enveloped data, signed data
// and certificate path validation, on OpenSSL 3.
//
// Every function returns 0 on success or a status code of otrx_status.h.
// Objects are records owned by the caller; a _Create readies an empty one and
// its _Delete releases whatever a later call loaded into it. Text is
// NUL-terminated UTF-8, paths are host paths.
#pragma once

#include <cstdint>

extern "C" {

// A private key. `pkey` holds the EVP_PKEY, `random` the identity-check
// random number that Korean key files carry beside the key (an ASN1_TYPE),
// when there is one.
struct OTRX_PRIVATEKEY {
    void* pkey;
    void* random;
};

// A certificate; `x509` holds the X509.
struct OTRX_CERTIFICATE {
    void* x509;
};

// The only content cipher that OTRX_PE_Encrypt_File offers: SEED-CBC.
constexpr int32_t OTRX_PE_CIPHER_SEED_CBC = 2;

// Key and certificate objects.
[[nodiscard]] int32_t OTRX_PRIVATEKEY_Create(OTRX_PRIVATEKEY* key);
[[nodiscard]] int32_t OTRX_PRIVATEKEY_Delete(OTRX_PRIVATEKEY* key);
[[nodiscard]] int32_t OTRX_PRIVATEKEY_Read_File(OTRX_PRIVATEKEY* key, const char* keyFile,
                                                const char* password);
[[nodiscard]] int32_t OTRX_PRIVATEKEY_CheckPair(const OTRX_PRIVATEKEY* key,
                                                const OTRX_CERTIFICATE* cert);
[[nodiscard]] int32_t OTRX_CERTIFICATE_Create(OTRX_CERTIFICATE* cert);
[[nodiscard]] int32_t OTRX_CERTIFICATE_Delete(OTRX_CERTIFICATE* cert);
[[nodiscard]] int32_t OTRX_CERTIFICATE_Read_File(OTRX_CERTIFICATE* cert, const char* certFile);
[[nodiscard]] int32_t OTRX_CERTIFICATE_GetSubjectName(char* buffer, int32_t capacity,
                                                      const OTRX_CERTIFICATE* cert);
[[nodiscard]] int32_t OTRX_CERTIFICATE_GetIssuerName(char* buffer, int32_t capacity,
                                                     const OTRX_CERTIFICATE* cert);
[[nodiscard]] int32_t OTRX_CERTIFICATE_GetSerialNumber(char* buffer, int32_t capacity,
                                                       const OTRX_CERTIFICATE* cert);

// Enveloped data.
[[nodiscard]] int32_t OTRX_PE_Encrypt_File(const char* output, const char* input,
                                           const OTRX_CERTIFICATE* recipient, int32_t cipher);
[[nodiscard]] int32_t OTRX_PE_Decrypt_File(const char* output, const char* input,
                                           const OTRX_PRIVATEKEY* key);

// Signed data. Times are Unix times, unsigned so that they run past 2038.
[[nodiscard]] int32_t OTRX_SG_MakeSignature_File(const char* output, const char* input,
                                                 const OTRX_PRIVATEKEY* key,
                                                 const OTRX_CERTIFICATE* cert,
                                                 uint32_t signingTime);
[[nodiscard]] int32_t OTRX_SG_VerifySignature_File(const char* signedFile);
[[nodiscard]] int32_t OTRX_SG_GetOriginalMessage_File(uint32_t* signingTime, const char* output,
                                                      const char* signedFile);
[[nodiscard]] int32_t OTRX_SG_GetSignerCertificate_File(OTRX_CERTIFICATE* cert,
                                                        const char* signedFile);
// The three above on one reading of the signed file: the signatures are
// verified, then the content is written to `output`, then the signer's
// certificate is given; the first failure is returned, with the status
// the function for that step returns.
[[nodiscard]] int32_t OTRX_SG_VerifyAndOpen_File(uint32_t* signingTime, const char* output,
                                                 OTRX_CERTIFICATE* signer,
                                                 const char* signedFile);

// What can be told of a signed file's signer, as UTF-8 "key=value" lines:
// subject, issuer, serial (decimal), notBefore, notAfter, signingTime
// (empty when the message has none), digest ("sha256"), one chain line for
// each certificate from the signer up to the top of `own`'s chain under
// the trust configuration (as far as it can be built), and allowedBy
// ("cert", "policy" or "none") with policy= the allowing policy. Times are
// ISO 8601 in UTC with a "Z". kBufferTooSmall when the text does not fit.
[[nodiscard]] int32_t OTRX_SG_DescribeSigner_File(char* buffer, int32_t capacity,
                                                  const char* signedFile,
                                                  const OTRX_CERTIFICATE* own,
                                                  const char* confFile);

// Certificate path validation under a trust configuration file (trustconf.h).
[[nodiscard]] int32_t OTRX_USR_GetTopCert(OTRX_CERTIFICATE* top, const OTRX_CERTIFICATE* own,
                                          const char* confFile);
[[nodiscard]] int32_t OTRX_USR_SimpleVerifyCertificate(const OTRX_CERTIFICATE* cert,
                                                       const OTRX_CERTIFICATE* top,
                                                       const OTRX_CERTIFICATE* own,
                                                       const OTRX_PRIVATEKEY* key,
                                                       const char* confFile);
// 0 when the configuration's [signers] section allows `signer` to sign
// (or the configuration has none); kSignerNotAllowed otherwise.
[[nodiscard]] int32_t OTRX_USR_CheckSigner(const OTRX_CERTIFICATE* signer, const char* confFile);
}
