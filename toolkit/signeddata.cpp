// Signed data: CMS SignedData in DER with the content attached.
#include "internal.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <ctime>

using namespace otrx;

namespace {

using TimePtr = std::unique_ptr<ASN1_TIME, Deleter<ASN1_TIME_free>>;

Status loadSigned(const char* path, CmsPtr& cms) {
    return loadCms(path, NID_pkcs7_signed, kSignedMessageMalformed, cms);
}

// The content, where it is attached and of type id-data: a document is
// plain data, never another CMS structure.
const ASN1_OCTET_STRING* attachedContent(CMS_ContentInfo* cms) {
    const ASN1_OBJECT* type = CMS_get0_eContentType(cms);
    if (type == nullptr || OBJ_obj2nid(type) != NID_pkcs7_data) {
        return nullptr;
    }
    ASN1_OCTET_STRING** content = CMS_get0_content(cms);
    return content != nullptr ? *content : nullptr;
}

// SHA-256, -384 and -512, and SHA-1 for old documents; nothing weaker.
bool digestAllowed(int nid) {
    return nid == NID_sha256 || nid == NID_sha384 || nid == NID_sha512 || nid == NID_sha1;
}

Status checkDigests(CMS_ContentInfo* cms) {
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
        X509_ALGOR* digest = nullptr;
        CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, i), nullptr, nullptr, &digest,
                                 nullptr);
        const ASN1_OBJECT* oid = nullptr;
        X509_ALGOR_get0(&oid, nullptr, nullptr, digest);
        if (digest == nullptr || !digestAllowed(OBJ_obj2nid(oid))) {
            return kDigestNotAllowed;
        }
    }
    return kOk;
}

// A signer's certificate may sign when it has no key-usage extension, or
// one with digitalSignature or nonRepudiation.
bool maySign(X509* cert) {
    if ((X509_get_extension_flags(cert) & EXFLAG_KUSAGE) == 0) {
        return true;
    }
    return (X509_get_key_usage(cert) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) != 0;
}

Status writeAll(AtomicOutput& out, const unsigned char* data, size_t length) {
    while (length > 0) {
        int chunk = static_cast<int>(std::min<size_t>(length, 1 << 20));
        int n = BIO_write(out.bio(), data, chunk);
        if (n <= 0) {
            return kFileUnwritable;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return kOk;
}

}  // namespace

namespace otrx {

CMS_SignerInfo* firstSigner(CMS_ContentInfo* cms) {
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    return sk_CMS_SignerInfo_num(signers) > 0 ? sk_CMS_SignerInfo_value(signers, 0) : nullptr;
}

X509Ptr signerCertificate(CMS_ContentInfo* cms) {
    CMS_SignerInfo* signer = firstSigner(cms);
    X509StackPtr certs(CMS_get1_certs(cms));
    for (int i = 0; signer != nullptr && i < sk_X509_num(certs.get()); ++i) {
        X509* candidate = sk_X509_value(certs.get(), i);
        if (CMS_SignerInfo_cert_cmp(signer, candidate) == 0) {
            X509_up_ref(candidate);
            ERR_clear_error();
            return X509Ptr(candidate);
        }
    }
    ERR_clear_error();
    return nullptr;
}

bool signingTimeOf(CMS_SignerInfo* signer, uint32_t& unixTime) {
    int index = CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1);
    if (index < 0) {
        return false;
    }
    X509_ATTRIBUTE* attribute = CMS_signed_get_attr(signer, index);
    ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
    if (value == nullptr ||
        (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME)) {
        return false;
    }
    struct tm tm {};
    if (ASN1_TIME_to_tm(value->value.utctime, &tm) != 1) {
        return false;
    }
    time_t t = timegm(&tm);
    if (t < 0 || t > static_cast<time_t>(UINT32_MAX)) {
        return false;
    }
    unixTime = static_cast<uint32_t>(t);
    return true;
}

}  // namespace otrx

namespace {

Status verifyLoaded(CMS_ContentInfo* cms) {
    if (firstSigner(cms) == nullptr) {
        return kSignatureDataMalformed;
    }
    if (attachedContent(cms) == nullptr) {
        return kContentMissing;
    }
    Status status = checkDigests(cms);
    if (status != kOk) {
        return status;
    }
    X509Ptr signer = signerCertificate(cms);
    if (signer && !maySign(signer.get())) {
        return kSignerNotForSigning;
    }
    // Only the signatures are checked here; the signer's certificate path
    // is the business of path validation.
    if (CMS_verify(cms, nullptr, nullptr, nullptr, nullptr,
                   CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1) {
        ERR_clear_error();
        return kOk;
    }
    OsslErrors errors = takeErrors();
    if (errors.has(ERR_LIB_CMS, CMS_R_SIGNER_CERTIFICATE_NOT_FOUND)) {
        return kSignerCertificateMissing;
    }
    if (errors.has(ERR_LIB_CMS, CMS_R_VERIFICATION_FAILURE) ||
        errors.has(ERR_LIB_CMS, CMS_R_CONTENT_VERIFY_ERROR) ||
        errors.has(ERR_LIB_CMS, CMS_R_MESSAGEDIGEST_WRONG_LENGTH)) {
        return kSignatureInvalid;
    }
    return kSignatureDataMalformed;
}

Status writeOriginal(CMS_ContentInfo* cms, const char* output, uint32_t* signingTime) {
    const ASN1_OCTET_STRING* content = attachedContent(cms);
    if (content == nullptr) {
        return kContentMissing;
    }
    AtomicOutput out;
    Status status = out.open(output);
    if (status == kOk) {
        status = writeAll(out, ASN1_STRING_get0_data(content),
                          static_cast<size_t>(ASN1_STRING_length(content)));
    }
    if (status == kOk) {
        status = out.commit();
    }
    CMS_SignerInfo* signer = firstSigner(cms);
    uint32_t when = 0;
    if (status == kOk && signingTime != nullptr && signer != nullptr &&
        signingTimeOf(signer, when)) {
        *signingTime = when;
    }
    ERR_clear_error();
    return status;
}

Status giveSigner(CMS_ContentInfo* cms, OTRX_CERTIFICATE* cert) {
    X509Ptr found = signerCertificate(cms);
    if (!found) {
        return kSignerCertificateMissing;
    }
    X509_free(static_cast<X509*>(cert->x509));
    cert->x509 = found.release();
    return kOk;
}

}  // namespace

extern "C" {

int32_t OTRX_SG_MakeSignature_File(const char* output, const char* input,
                                   const OTRX_PRIVATEKEY* key, const OTRX_CERTIFICATE* cert,
                                   uint32_t signingTime) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        EVP_PKEY* pkey = pkeyOf(key);
        X509* x509 = certOf(cert);
        if (key == nullptr || cert == nullptr) {
            return kInvalidArgument;
        }
        if (pkey == nullptr || x509 == nullptr) {
            return kEmptyObject;
        }
        if (libraryContext() == nullptr) {
            return kAlgorithmUnavailable;
        }
        BioPtr in;
        Status status = openInput(input, in);
        if (status != kOk) {
            return status;
        }
        MdPtr sha256(EVP_MD_fetch(libraryContext(), "SHA256", nullptr));
        const unsigned int flags = CMS_BINARY | CMS_PARTIAL | CMS_NOSMIMECAP;
        CmsPtr cms(CMS_sign_ex(nullptr, nullptr, nullptr, nullptr, flags, libraryContext(),
                               nullptr));
        if (!sha256 || !cms) {
            return kAlgorithmUnavailable;
        }
        CMS_SignerInfo* signer = CMS_add1_signer(cms.get(), x509, pkey, sha256.get(), flags);
        TimePtr when(ASN1_TIME_set(nullptr, static_cast<time_t>(signingTime)));
        if (signer == nullptr || !when ||
            CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_signingTime, when->type, when.get(),
                                        -1) != 1) {
            ERR_clear_error();
            return kInternalError;
        }
        if (CMS_final(cms.get(), in.get(), nullptr, flags) != 1) {
            ERR_clear_error();
            return kInternalError;
        }
        return writeCms(output, cms.get());
    });
}

int32_t OTRX_SG_VerifySignature_File(const char* signedFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        CmsPtr cms;
        Status status = loadSigned(signedFile, cms);
        return status != kOk ? status : verifyLoaded(cms.get());
    });
}

int32_t OTRX_SG_GetOriginalMessage_File(uint32_t* signingTime, const char* output,
                                        const char* signedFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        CmsPtr cms;
        Status status = loadSigned(signedFile, cms);
        return status != kOk ? status : writeOriginal(cms.get(), output, signingTime);
    });
}

int32_t OTRX_SG_GetSignerCertificate_File(OTRX_CERTIFICATE* cert, const char* signedFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (cert == nullptr) {
            return kInvalidArgument;
        }
        CmsPtr cms;
        Status status = loadSigned(signedFile, cms);
        return status != kOk ? status : giveSigner(cms.get(), cert);
    });
}

int32_t OTRX_SG_VerifyAndOpen_File(uint32_t* signingTime, const char* output,
                                   OTRX_CERTIFICATE* signer, const char* signedFile) {
    return guarded([&]() -> int32_t {
        ERR_clear_error();
        if (signer == nullptr) {
            return kInvalidArgument;
        }
        CmsPtr cms;
        Status status = loadSigned(signedFile, cms);
        if (status == kOk) {
            status = verifyLoaded(cms.get());
        }
        if (status == kOk) {
            status = writeOriginal(cms.get(), output, signingTime);
        }
        return status != kOk ? status : giveSigner(cms.get(), signer);
    });
}

}  // extern "C"
