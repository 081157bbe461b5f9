// The trust configuration file: an INI file that names the trusted top
// certificates and the intermediate CA certificates, and whether validity
// periods are checked.
//
//   [trust]
//   top = roots/root.der     ; repeatable; a file, or a folder whose
//   intermediate = cas/      ; *.der/*.cer/*.crt/*.pem files are all taken
//   [validation]
//   check_time = yes         ; yes (default) or no
//
// Relative paths are relative to the INI file's folder.
#pragma once

#include "internal.h"

namespace otrx {

struct TrustConfig {
    X509StackPtr tops{sk_X509_new_null()};
    X509StackPtr intermediates{sk_X509_new_null()};
    bool checkTime = true;
};

// kFileUnreadable for a configuration file, or a certificate file or folder
// it names, that cannot be read or parsed as INI; kCertificateMalformed for
// a named certificate file that does not parse.
[[nodiscard]] Status loadTrustConfig(const char* path, TrustConfig& config);

}  // namespace otrx
