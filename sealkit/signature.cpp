#include "guard.h"
#include "otrx.h"
#include "sealkit.h"

#include <ctime>

using sealkit::guarded;

namespace {

uint32_t now() { return static_cast<uint32_t>(std::time(nullptr)); }

}  // namespace

int32_t verifySig_File(const char* outFile, const char* inFile, const char* keyFile,
                       const char* certFile, const char* password, const char* confFile) {
    return guarded([&] {
        OTRX_PRIVATEKEY key;
        OTRX_CERTIFICATE signer;
        OTRX_CERTIFICATE own;
        OTRX_CERTIFICATE top;
        (void)OTRX_PRIVATEKEY_Create(&key);
        (void)OTRX_CERTIFICATE_Create(&signer);
        (void)OTRX_CERTIFICATE_Create(&own);
        (void)OTRX_CERTIFICATE_Create(&top);
        // The signed content is written here, before the key, certificate
        // and path checks below.
        uint32_t signingTime = now();
        int32_t status = OTRX_SG_VerifyAndOpen_File(&signingTime, outFile, &signer, inFile);
        if (status == 0) {
            status = OTRX_PRIVATEKEY_Read_File(&key, keyFile, password);
        }
        if (status == 0) {
            status = OTRX_CERTIFICATE_Read_File(&own, certFile);
        }
        if (status == 0) {
            status = OTRX_USR_GetTopCert(&top, &own, confFile);
        }
        if (status == 0) {
            status = OTRX_USR_SimpleVerifyCertificate(&signer, &top, &own, &key, confFile);
        }
        if (status == 0) {
            // Only a signer the configuration allows makes the document
            // genuine; any holder of a certificate under the same top could
            // sign otherwise.
            status = OTRX_USR_CheckSigner(&signer, confFile);
        }
        (void)OTRX_PRIVATEKEY_Delete(&key);
        (void)OTRX_CERTIFICATE_Delete(&signer);
        (void)OTRX_CERTIFICATE_Delete(&own);
        int32_t lastDeletion = OTRX_CERTIFICATE_Delete(&top);
        return status != 0 ? status : lastDeletion;
    });
}

int32_t makeSig_File(const char* outFile, const char* inFile, const char* keyFile,
                     const char* certFile, const char* password) {
    return guarded([&] {
        OTRX_PRIVATEKEY key;
        OTRX_CERTIFICATE cert;
        (void)OTRX_PRIVATEKEY_Create(&key);
        (void)OTRX_CERTIFICATE_Create(&cert);
        int32_t status = OTRX_PRIVATEKEY_Read_File(&key, keyFile, password);
        if (status == 0) {
            status = OTRX_CERTIFICATE_Read_File(&cert, certFile);
        }
        if (status == 0) {
            status = OTRX_PRIVATEKEY_CheckPair(&key, &cert);
        }
        if (status == 0) {
            status = OTRX_SG_MakeSignature_File(outFile, inFile, &key, &cert, now());
        }
        (void)OTRX_PRIVATEKEY_Delete(&key);
        (void)OTRX_CERTIFICATE_Delete(&cert);
        return status;
    });
}

int32_t getSignerInfo_File(const char* signedFile, const char* certFile, const char* confFile,
                           char* buffer, int32_t bufferSize) {
    return guarded([&] {
        OTRX_CERTIFICATE own;
        (void)OTRX_CERTIFICATE_Create(&own);
        int32_t status = OTRX_CERTIFICATE_Read_File(&own, certFile);
        if (status == 0) {
            status = OTRX_SG_DescribeSigner_File(buffer, bufferSize, signedFile, &own, confFile);
        }
        (void)OTRX_CERTIFICATE_Delete(&own);
        return status;
    });
}
