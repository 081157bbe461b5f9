// saveSmartCardKeyAndCertAsFile: the card's signing key and certificate,
// copied into two files of a folder.
#include "sealkit.h"

#include "cardlib.h"
#include "guard.h"
#include "internal.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>

#include <array>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kNoReader = static_cast<uint32_t>(-1);
constexpr uint32_t kKeyUnreadable = static_cast<uint32_t>(-2);
constexpr uint32_t kCertificateUnreadable = static_cast<uint32_t>(-3);
constexpr uint32_t kOutputUnwritable = otrx::kFileUnwritable;  // 70020

constexpr size_t kPinField = 20;
constexpr size_t kKeyBuffer = 2000;
constexpr size_t kCertificateBuffer = 4000;

// Writes the bytes through the toolkit's all-or-nothing output: a
// temporary file of mode 0600 beside `path` that replaces any earlier file.
bool writeReplacing(const std::string& path, const unsigned char* bytes, size_t length) {
    otrx::AtomicOutput out;
    return out.open(path.c_str()) == otrx::kOk &&
           (length == 0 || BIO_write(out.bio(), bytes, static_cast<int>(length)) ==
                               static_cast<int>(length)) &&
           out.commit() == otrx::kOk;
}

uint32_t exportCard(const char* folder, const char* pin) {
    if (folder == nullptr || pin == nullptr || std::strlen(pin) >= kPinField) {
        return kKeyUnreadable;  // the card is not asked
    }
    std::array<char, kPinField> pinField{};
    std::memcpy(pinField.data(), pin, std::strlen(pin));
    std::array<unsigned char, kKeyBuffer> key{};
    std::array<unsigned char, kCertificateBuffer> certificate{};
    SGSC_CARD_DATA keyBlock{static_cast<int32_t>(key.size()), key.data()};
    SGSC_CARD_DATA certificateBlock{static_cast<int32_t>(certificate.size()), certificate.data()};

    uint32_t result = 0;
    (void)sgsc_LoadDLL();
    const int32_t port = sgsc_GetCurComPort();
    if (port < 0) {
        result = kNoReader;
    } else if (sgsc_GetFile(port, "F303", pinField.data(), &keyBlock) < 0) {
        result = kKeyUnreadable;
    } else if (sgsc_GetFile(port, "F304", pinField.data(), &certificateBlock) < 0) {
        result = kCertificateUnreadable;
    } else {
        std::string base(folder);
        if (base.empty() || base.back() != '/') {
            base += '/';
        }
        if (!writeReplacing(base + SEALKIT_SMARTCARD_KEY_FILE, key.data(),
                            static_cast<size_t>(keyBlock.length)) ||
            !writeReplacing(base + SEALKIT_SMARTCARD_CERT_FILE, certificate.data(),
                            static_cast<size_t>(certificateBlock.length))) {
            result = kOutputUnwritable;
        }
    }
    OPENSSL_cleanse(pinField.data(), pinField.size());
    OPENSSL_cleanse(key.data(), key.size());
    OPENSSL_cleanse(certificate.data(), certificate.size());
    return result;
}

}  // namespace

extern "C" SEALKIT_API uint32_t SEALKIT_CALL saveSmartCardKeyAndCertAsFile(const char* folder,
                                                                           const char* pin) {
    return static_cast<uint32_t>(
        sealkit::guarded([&] { return static_cast<int32_t>(exportCard(folder, pin)); }));
}
