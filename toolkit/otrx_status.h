// Status codes of the toolkit. Codes below 79000 are the ones the viewer has
// messages for; STATUS.md says when each one is returned.
#pragma once

#include <cstdint>

namespace otrx {

enum Status : int32_t {
    kOk = 0,
    kCertificateExpired = 70007,
    kCertificateMalformed = 70009,
    kWrongPassword = 70018,
    kFileUnreadable = 70019,
    kFileUnwritable = 70020,
    kKeyMalformed = 70021,
    kNoTrustedChain = 70100,
    kNoTopCertificate = 70101,
    kSignerNotAllowed = 70110,
    kKeyTransportFailed = 70806,
    kEnvelopeMalformed = 70807,
    kCipherNotAllowed = 70808,
    kSignedMessageMalformed = 71203,
    kContentMissing = 71205,
    kSignerCertificateMissing = 71207,
    kSignatureDataMalformed = 71211,
    kSignatureInvalid = 71212,
    kDigestNotAllowed = 71213,
    kSignerNotForSigning = 71214,

    kOutOfMemory = 79001,
    kAlgorithmUnavailable = 79002,
    kInvalidArgument = 79003,
    kEmptyObject = 79004,
    kBufferTooSmall = 79005,
    kUnsupportedCipher = 79006,
    kKeyCertificateMismatch = 79007,
    kInternalError = 79099,
};

}  // namespace otrx
