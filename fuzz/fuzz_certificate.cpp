// Certificate parsing (DER and PEM) and the names' text.
#include "internal.h"
#include "names.h"

#include <openssl/err.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    otrx::X509Ptr cert = otrx::parseCertificate(data, size);
    if (cert) {
        std::string text;
        (void)otrx::formatName(X509_get_subject_name(cert.get()), text);
        (void)otrx::formatName(X509_get_issuer_name(cert.get()), text);
    }
    ERR_clear_error();
    return 0;
}
