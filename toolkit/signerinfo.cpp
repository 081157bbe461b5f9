// What a signed file tells of its signer, for the user to see.
#include "names.h"
#include "trustconf.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include <cctype>
#include <ctime>

using namespace otrx;

namespace {

std::string isoTime(const ASN1_TIME* when) {
    struct tm tm {};
    if (when == nullptr || ASN1_TIME_to_tm(when, &tm) != 1) {
        return std::string();
    }
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) > 0 ? text : "";
}

std::string nameOf(const X509_NAME* name) {
    std::string text;
    return formatName(name, text) ? text : std::string();
}

std::string serialOf(X509* cert) {
    std::unique_ptr<BIGNUM, Deleter<BN_free>> bn(
        ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr));
    char* decimal = bn ? BN_bn2dec(bn.get()) : nullptr;
    const std::string text = decimal != nullptr ? decimal : "";
    OPENSSL_free(decimal);
    return text;
}

std::string signingTimeOf(CMS_SignerInfo* signer) {
    uint32_t when = 0;
    if (!otrx::signingTimeOf(signer, when)) {
        return std::string();
    }
    const time_t t = static_cast<time_t>(when);
    struct tm tm {};
    char text[32];
    return gmtime_r(&t, &tm) != nullptr && std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) > 0
               ? text
               : "";
}

std::string digestOf(CMS_SignerInfo* signer) {
    X509_ALGOR* digest = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, digest);
    std::string name = OBJ_nid2sn(OBJ_obj2nid(oid));
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

// The chain from the signer up to the top of `own`'s chain, as far as the
// configuration lets it be built; the signer alone otherwise.
std::vector<std::string> chainOf(X509* signer, const OTRX_CERTIFICATE* own,
                                 const TrustConfig& config, const char* confFile) {
    std::vector<std::string> chain{nameOf(X509_get_subject_name(signer))};
    OTRX_CERTIFICATE top{};
    if (OTRX_USR_GetTopCert(&top, own, confFile) != kOk) {
        return chain;
    }
    StorePtr store(X509_STORE_new());
    StoreCtxPtr ctx(X509_STORE_CTX_new_ex(libraryContext(), nullptr));
    if (store && ctx && X509_STORE_add_cert(store.get(), certOf(&top)) == 1 &&
        X509_STORE_CTX_init(ctx.get(), store.get(), signer, config.intermediates.get()) == 1) {
        X509_STORE_CTX_set_flags(ctx.get(), X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_NO_CHECK_TIME);
        if (X509_verify_cert(ctx.get()) == 1) {
            STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(ctx.get());
            chain.clear();
            for (int i = 0; i < sk_X509_num(built); ++i) {
                chain.push_back(nameOf(X509_get_subject_name(sk_X509_value(built, i))));
            }
        }
    }
    (void)OTRX_CERTIFICATE_Delete(&top);
    ERR_clear_error();
    return chain;
}

}  // namespace

extern "C" {

int32_t OTRX_SG_DescribeSigner_File(char* buffer, int32_t capacity, const char* signedFile,
                                    const OTRX_CERTIFICATE* own, const char* confFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (buffer == nullptr || capacity <= 0 || own == nullptr) {
            return kInvalidArgument;
        }
        CmsPtr cms;
        Status status = loadCms(signedFile, NID_pkcs7_signed, kSignedMessageMalformed, cms);
        if (status != kOk) {
            return status;
        }
        CMS_SignerInfo* info = firstSigner(cms.get());
        if (info == nullptr) {
            return kSignatureDataMalformed;
        }
        const X509Ptr owned = signerCertificate(cms.get());
        X509* signer = owned.get();
        if (signer == nullptr) {
            return kSignerCertificateMissing;
        }
        TrustConfig config;
        const bool configured = loadTrustConfig(confFile, config) == kOk;
        const SignerAllowance allowance =
            configured ? allowanceOf(signer, config) : SignerAllowance{};
        std::string text = "subject=" + nameOf(X509_get_subject_name(signer)) + "\n" +
                           "issuer=" + nameOf(X509_get_issuer_name(signer)) + "\n" +
                           "serial=" + serialOf(signer) + "\n" +
                           "notBefore=" + isoTime(X509_get0_notBefore(signer)) + "\n" +
                           "notAfter=" + isoTime(X509_get0_notAfter(signer)) + "\n" +
                           "signingTime=" + signingTimeOf(info) + "\n" +
                           "digest=" + digestOf(info) + "\n";
        for (const std::string& link :
             configured ? chainOf(signer, own, config, confFile)
                        : std::vector<std::string>{nameOf(X509_get_subject_name(signer))}) {
            text += "chain=" + link + "\n";
        }
        text += "allowedBy=" + (allowance.by.empty() ? std::string("none") : allowance.by) + "\n";
        if (!allowance.policy.empty()) {
            text += "policy=" + allowance.policy + "\n";
        }
        ERR_clear_error();
        return copyText(text, buffer, capacity);
    });
}

}  // extern "C"
