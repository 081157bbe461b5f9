// A stand-in for libSealkit.so that the dialog's tests bind instead of the
// real one: names every certificate file that exists, and decrypts with the
// status given in $SEALKIT_STUB_DECRYPT (0 when unset). It has no
// verifySig_File, so a successful decryption meets a missing function.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" {

__attribute__((visibility("default"))) int32_t getCertInfo2(char* subjectName, char* issuerName,
                                                            const char* certFile,
                                                            int32_t bufferSize) {
    struct stat st {};
    if (certFile == nullptr || ::stat(certFile, &st) != 0 || bufferSize < 64) {
        return 70019;
    }
    std::strcpy(subjectName, "cn=stub user,o=stub,c=kr");
    std::strcpy(issuerName, "cn=yessignCA Class 2,o=yessign,c=kr");
    return 0;
}

__attribute__((visibility("default"))) int32_t decypt_File(const char*, const char*, const char*,
                                                           const char*) {
    const char* status = std::getenv("SEALKIT_STUB_DECRYPT");
    return status != nullptr ? std::atoi(status) : 0;
}
}
