#include "guard.h"
#include "otrx.h"
#include "sealkit.h"

using sealkit::guarded;

int32_t decypt_File(const char* outFile, const char* inFile, const char* keyFile,
                    const char* password) {
    return guarded([&] {
        OTRX_PRIVATEKEY key;
        (void)OTRX_PRIVATEKEY_Create(&key);
        int32_t status = OTRX_PRIVATEKEY_Read_File(&key, keyFile, password);
        if (status == 0) {
            status = OTRX_PE_Decrypt_File(outFile, inFile, &key);
        }
        (void)OTRX_PRIVATEKEY_Delete(&key);
        return status;
    });
}

int32_t makeEnc_File(const char* outFile, const char* inFile, const char* keyFile,
                     const char* certFile, const char* recipientCertFile, const char* password,
                     const char* confFile) {
    return guarded([&] {
        OTRX_PRIVATEKEY key;
        OTRX_CERTIFICATE top;
        OTRX_CERTIFICATE own;
        OTRX_CERTIFICATE recipient;
        (void)OTRX_PRIVATEKEY_Create(&key);
        (void)OTRX_CERTIFICATE_Create(&top);
        (void)OTRX_CERTIFICATE_Create(&own);
        (void)OTRX_CERTIFICATE_Create(&recipient);
        int32_t status = OTRX_CERTIFICATE_Read_File(&recipient, recipientCertFile);
        if (status == 0) {
            status = OTRX_CERTIFICATE_Read_File(&own, certFile);
        }
        if (status == 0) {
            status = OTRX_PRIVATEKEY_Read_File(&key, keyFile, password);
        }
        if (status == 0) {
            status = OTRX_USR_GetTopCert(&top, &own, confFile);
        }
        if (status == 0) {
            status = OTRX_USR_SimpleVerifyCertificate(&recipient, &top, &own, &key, confFile);
        }
        if (status == 0) {
            status = OTRX_PE_Encrypt_File(outFile, inFile, &recipient, OTRX_PE_CIPHER_SEED_CBC);
        }
        (void)OTRX_PRIVATEKEY_Delete(&key);
        (void)OTRX_CERTIFICATE_Delete(&top);
        (void)OTRX_CERTIFICATE_Delete(&own);
        (void)OTRX_CERTIFICATE_Delete(&recipient);
        return status;
    });
}
