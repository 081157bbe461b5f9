// The trust configuration file: an INI file that names the trusted top
// certificates and the intermediate CA certificates, and whether validity
// periods are checked.
//
//   [trust]
//   top = roots/root.der     ; repeatable; a file, or a folder whose
//   intermediate = cas/      ; *.der/*.cer/*.crt/*.pem files are all taken
//   [validation]
//   check_time = yes         ; yes (default) or no
//   [signers]
//   cert = signers/agency.der   ; repeatable: a certificate allowed to sign,
//                               ; or a folder of them
//   policy = 1.2.410.200005.1.1.5  ; repeatable: a certificate policy; a
//                               ; signer carrying any listed one may sign
//
// Relative paths are relative to the INI file's folder. A top that does not
// exist is passed over; a configuration left without any top certificate
// is kNoTopCertificate. Without a [signers] section any signer whose chain
// validates may sign.
#pragma once

#include "internal.h"

namespace otrx {

struct TrustConfig {
    X509StackPtr tops{sk_X509_new_null()};
    X509StackPtr intermediates{sk_X509_new_null()};
    X509StackPtr signers{sk_X509_new_null()};
    std::vector<std::string> policies;  // dotted OIDs
    bool checkTime = true;

    bool restrictsSigners() const { return sk_X509_num(signers.get()) > 0 || !policies.empty(); }
};

// What allowed a signer under a configuration: "cert" (it is one of the
// listed certificates), "policy" (it carries a listed policy, given in
// `policy`), "none" (the configuration restricts nobody), or nothing
// when the configuration lists signers and this one is none of them.
struct SignerAllowance {
    bool allowed = false;
    std::string by;
    std::string policy;
};
SignerAllowance allowanceOf(X509* signer, const TrustConfig& config);

// kFileUnreadable for a configuration file, or a certificate file or folder
// it names (a top excepted), that cannot be read or parsed as INI;
// kCertificateMalformed for a named certificate file that does not parse;
// kNoTopCertificate when no top certificate is left.
[[nodiscard]] Status loadTrustConfig(const char* path, TrustConfig& config);

}  // namespace otrx
