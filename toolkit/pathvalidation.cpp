// Certificate path validation under a trust configuration file.
#include "trustconf.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

using namespace otrx;

namespace {

// Chains are short (user, CA, root); the bound only stops a loop of
// cross-certified CAs.
constexpr int kMaxChainLength = 16;

bool issuedBy(X509* subject, X509* issuer) {
    if (X509_check_issued(issuer, subject) != X509_V_OK) {
        return false;
    }
    EVP_PKEY* key = X509_get0_pubkey(issuer);
    bool ok = key != nullptr && X509_verify(subject, key) == 1;
    ERR_clear_error();
    return ok;
}

X509* findIssuer(X509* subject, STACK_OF(X509) * candidates) {
    for (int i = 0; i < sk_X509_num(candidates); ++i) {
        X509* candidate = sk_X509_value(candidates, i);
        if (X509_cmp(candidate, subject) != 0 && issuedBy(subject, candidate)) {
            return candidate;
        }
    }
    return nullptr;
}

X509* findInStack(X509* cert, STACK_OF(X509) * stack) {
    for (int i = 0; i < sk_X509_num(stack); ++i) {
        if (X509_cmp(sk_X509_value(stack, i), cert) == 0) {
            return sk_X509_value(stack, i);
        }
    }
    return nullptr;
}

Status statusOfVerifyError(int error) {
    switch (error) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
            return kCertificateExpired;
        case X509_V_ERR_OUT_OF_MEM:
            return kOutOfMemory;
        default:
            return kNoTrustedChain;
    }
}

}  // namespace

extern "C" {

int32_t OTRX_USR_GetTopCert(OTRX_CERTIFICATE* top, const OTRX_CERTIFICATE* own,
                            const char* confFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (top == nullptr || own == nullptr) {
            return kInvalidArgument;
        }
        X509* current = certOf(own);
        if (current == nullptr) {
            return kEmptyObject;
        }
        TrustConfig config;
        Status status = loadTrustConfig(confFile, config);
        if (status != kOk) {
            return status;
        }
        for (int depth = 0; depth < kMaxChainLength && current != nullptr; ++depth) {
            X509* found = findInStack(current, config.tops.get());
            if (found == nullptr) {
                found = findIssuer(current, config.tops.get());
            }
            if (found != nullptr) {
                X509_up_ref(found);
                X509_free(static_cast<X509*>(top->x509));
                top->x509 = found;
                return kOk;
            }
            current = findIssuer(current, config.intermediates.get());
        }
        return kNoTrustedChain;
    });
}

int32_t OTRX_USR_SimpleVerifyCertificate(const OTRX_CERTIFICATE* cert,
                                         const OTRX_CERTIFICATE* top,
                                         const OTRX_CERTIFICATE* /*own*/,
                                         const OTRX_PRIVATEKEY* /*key*/, const char* confFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (cert == nullptr || top == nullptr) {
            return kInvalidArgument;
        }
        X509* subject = certOf(cert);
        X509* anchor = certOf(top);
        if (subject == nullptr || anchor == nullptr) {
            return kEmptyObject;
        }
        TrustConfig config;
        Status status = loadTrustConfig(confFile, config);
        if (status != kOk) {
            return status;
        }
        StorePtr store(X509_STORE_new());
        StoreCtxPtr ctx(X509_STORE_CTX_new_ex(libraryContext(), nullptr));
        if (!store || !ctx || X509_STORE_add_cert(store.get(), anchor) != 1 ||
            X509_STORE_CTX_init(ctx.get(), store.get(), subject, config.intermediates.get()) !=
                1) {
            ERR_clear_error();
            return kOutOfMemory;
        }
        // The top certificate is trusted as it is, whether or not it is
        // self-signed.
        unsigned long flags = X509_V_FLAG_PARTIAL_CHAIN;
        if (!config.checkTime) {
            flags |= X509_V_FLAG_NO_CHECK_TIME;
        }
        X509_STORE_CTX_set_flags(ctx.get(), flags);
        int ok = X509_verify_cert(ctx.get());
        int error = X509_STORE_CTX_get_error(ctx.get());
        ERR_clear_error();
        return ok == 1 ? kOk : statusOfVerifyError(error);
    });
}

int32_t OTRX_USR_CheckSigner(const OTRX_CERTIFICATE* signer, const char* confFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        X509* subject = certOf(signer);
        if (subject == nullptr) {
            return signer == nullptr ? kInvalidArgument : kEmptyObject;
        }
        TrustConfig config;
        Status status = loadTrustConfig(confFile, config);
        if (status != kOk) {
            return status;
        }
        return allowanceOf(subject, config).allowed ? kOk : kSignerNotAllowed;
    });
}

}  // extern "C"
