#include "guard.h"
#include "otrx.h"
#include "sealkit.h"

using sealkit::guarded;

int32_t getCertInfo2(char* subjectName, char* issuerName, const char* certFile,
                     int32_t bufferSize) {
    return guarded([&] {
        OTRX_CERTIFICATE cert;
        int32_t status = OTRX_CERTIFICATE_Create(&cert);
        if (status != 0) {
            return status;
        }
        status = OTRX_CERTIFICATE_Read_File(&cert, certFile);
        if (status != 0) {
            (void)OTRX_CERTIFICATE_Delete(&cert);
            return status;
        }
        // The name queries' statuses are not examined: a certificate that
        // reads is listed, whatever its names.
        (void)OTRX_CERTIFICATE_GetSubjectName(subjectName, bufferSize, &cert);
        (void)OTRX_CERTIFICATE_GetIssuerName(issuerName, bufferSize, &cert);
        return OTRX_CERTIFICATE_Delete(&cert);
    });
}

int32_t getCertInfo(char* serialNumber, char* issuerName, const char* keyFile,
                    const char* certFile, int32_t bufferSize, const char* password) {
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
            (void)OTRX_CERTIFICATE_GetSerialNumber(serialNumber, bufferSize, &cert);
            (void)OTRX_CERTIFICATE_GetIssuerName(issuerName, bufferSize, &cert);
        }
        int32_t keyDeletion = OTRX_PRIVATEKEY_Delete(&key);
        int32_t certDeletion = OTRX_CERTIFICATE_Delete(&cert);
        if (status != 0) {
            return status;
        }
        return keyDeletion != 0 ? keyDeletion : certDeletion;
    });
}
