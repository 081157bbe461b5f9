/* Sealkit: the crypto service of Paperlens.
 *
 * Plain exported functions over the PKI toolkit. Every function returns 0 on
 * success or the status of the first toolkit call that failed, unchanged.
 * Text is NUL-terminated and in the system's multi-byte code page (UTF-8 on
 * Linux); buffers belong to the caller, and nothing is allocated for the
 * caller or freed on its behalf. No function keeps state between calls.
 */
#ifndef SEALKIT_SEALKIT_H
#define SEALKIT_SEALKIT_H

#include <stdint.h>

#if defined(_WIN32)
#define SEALKIT_API __declspec(dllexport)
#define SEALKIT_CALL __stdcall
#else
#define SEALKIT_API __attribute__((visibility("default")))
#define SEALKIT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The files saveSmartCardKeyAndCertAsFile writes, the names the
 * certificate scans look for. */
#define SEALKIT_SMARTCARD_KEY_FILE "SignPri.key"
#define SEALKIT_SMARTCARD_CERT_FILE "SignCert.der"

/* Copies the signing key (card file F303) and signing certificate (F304)
 * from the card in the first reader that holds one into folder, as
 * SignPri.key (mode 0600) and SignCert.der, replacing earlier files; both
 * card files are read before either file is written. pin: at most 19
 * bytes. Results, read as signed: 0 both files written; -1 no reader or
 * no card; -2 the key cannot be read (a wrong PIN, or a PIN of more than
 * 19 bytes, for which the card is not asked); -3 the certificate cannot
 * be read; 70020 an output file cannot be written. */
SEALKIT_API uint32_t SEALKIT_CALL saveSmartCardKeyAndCertAsFile(const char* folder,
                                                                const char* pin);

/* Opens the enveloped data in inFile with the private key in keyFile and
 * writes its content to outFile. */
SEALKIT_API int32_t SEALKIT_CALL decypt_File(const char* outFile, const char* inFile,
                                             const char* keyFile, const char* password);

/* Writes the subject and issuer names of the certificate in certFile into
 * the two buffers of bufferSize bytes each. */
SEALKIT_API int32_t SEALKIT_CALL getCertInfo2(char* subjectName, char* issuerName,
                                              const char* certFile, int32_t bufferSize);

/* Opens keyFile, checks that it belongs to certFile, then writes the
 * certificate's serial number and issuer name. */
SEALKIT_API int32_t SEALKIT_CALL getCertInfo(char* serialNumber, char* issuerName,
                                             const char* keyFile, const char* certFile,
                                             int32_t bufferSize, const char* password);

/* Validates recipientCertFile up to the top of the sender's chain under
 * confFile, then writes inFile as enveloped data for it to outFile. */
SEALKIT_API int32_t SEALKIT_CALL makeEnc_File(const char* outFile, const char* inFile,
                                              const char* keyFile, const char* certFile,
                                              const char* recipientCertFile,
                                              const char* password, const char* confFile);

/* Signs inFile with keyFile and certFile, writing signed data to outFile. */
SEALKIT_API int32_t SEALKIT_CALL makeSig_File(const char* outFile, const char* inFile,
                                              const char* keyFile, const char* certFile,
                                              const char* password);

/* Verifies the signed data in inFile, writes the signed content to outFile,
 * then validates the signer's certificate under confFile and, where
 * confFile has a [signers] section, checks that the signer is one it
 * allows. The content is written before the key, certificate, path and
 * signer checks. */
SEALKIT_API int32_t SEALKIT_CALL verifySig_File(const char* outFile, const char* inFile,
                                                const char* keyFile, const char* certFile,
                                                const char* password, const char* confFile);

/* Describes the signer of the signed data in signedFile (the "sig.dec"
 * that decypt_File wrote) into buffer, bufferSize bytes, as UTF-8 lines
 * "key=value":
 *   subject=, issuer=    the signer's names, as getCertInfo2 gives them
 *   serial=              the signer certificate's serial number, decimal
 *   notBefore=, notAfter= its validity, ISO 8601 in UTC ("...Z")
 *   signingTime=         the signing time, ISO 8601 in UTC, or empty
 *   digest=              the digest algorithm, e.g. "sha256"
 *   chain=               one line a certificate, the signer first and the
 *                        top (as confFile and certFile's chain choose it)
 *                        last, as far as the chain can be built
 *   allowedBy=           "cert" or "policy" (the signer is listed in, or
 *                        carries a policy of, confFile's [signers]
 *                        section), "none" otherwise
 *   policy=              the allowing policy, where allowedBy=policy
 * certFile and confFile as verifySig_File takes them. Nothing is verified
 * here: verifySig_File tells whether the document is genuine. */
SEALKIT_API int32_t SEALKIT_CALL getSignerInfo_File(const char* signedFile, const char* certFile,
                                                    const char* confFile, char* buffer,
                                                    int32_t bufferSize);

#ifdef __cplusplus
}
#endif

#endif
