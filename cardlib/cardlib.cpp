#include "cardlib.h"

#include <winscard.h>

#include <openssl/crypto.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFailed = -1;
constexpr size_t kMaxPin = 19;
constexpr unsigned char kChunk = 0xF0;

// A PC/SC context for the length of one call.
class Context {
public:
    Context() { ok_ = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context_) == SCARD_S_SUCCESS; }
    ~Context() {
        if (ok_) {
            SCardReleaseContext(context_);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    bool ok() const { return ok_; }
    SCARDCONTEXT get() const { return context_; }

    // The reader names, in the order PC/SC lists them.
    std::vector<std::string> readers() const {
        DWORD size = 0;
        if (!ok_ || SCardListReaders(context_, nullptr, nullptr, &size) != SCARD_S_SUCCESS || size == 0) {
            return {};
        }
        std::string all(size, '\0');
        if (SCardListReaders(context_, nullptr, &all[0], &size) != SCARD_S_SUCCESS) {
            return {};
        }
        std::vector<std::string> names;
        for (size_t at = 0; at < all.size() && all[at] != '\0';) {
            names.emplace_back(all.c_str() + at);
            at += names.back().size() + 1;
        }
        return names;
    }

private:
    SCARDCONTEXT context_ = 0;
    bool ok_ = false;
};

class Card {
public:
    Card(const Context& context, const std::string& reader) {
        ok_ = SCardConnect(context.get(), reader.c_str(), SCARD_SHARE_SHARED,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_, &protocol_) == SCARD_S_SUCCESS;
    }
    ~Card() {
        if (ok_) {
            SCardDisconnect(card_, SCARD_LEAVE_CARD);
        }
    }
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    bool ok() const { return ok_; }

    // Sends an APDU; the answer's data and its status word.
    bool transmit(const std::vector<unsigned char>& apdu, std::vector<unsigned char>& data,
                  unsigned& status) const {
        const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
        std::array<unsigned char, 258> answer{};
        DWORD length = answer.size();
        const bool sent = SCardTransmit(card_, pci, apdu.data(), static_cast<DWORD>(apdu.size()),
                                        nullptr, answer.data(), &length) == SCARD_S_SUCCESS &&
                          length >= 2;
        if (sent) {
            status = (static_cast<unsigned>(answer[length - 2]) << 8) | answer[length - 1];
            data.assign(answer.begin(), answer.begin() + (length - 2));
        }
        OPENSSL_cleanse(answer.data(), answer.size());
        return sent;
    }

private:
    SCARDHANDLE card_ = 0;
    DWORD protocol_ = 0;
    bool ok_ = false;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// "F303" as its two bytes; false for anything but four hex digits.
bool fileIdentifier(const char* text, unsigned char (&id)[2]) {
    if (text == nullptr || std::strlen(text) != 4) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (hexDigit(text[i]) < 0) {
            return false;
        }
    }
    id[0] = static_cast<unsigned char>(hexDigit(text[0]) * 16 + hexDigit(text[1]));
    id[1] = static_cast<unsigned char>(hexDigit(text[2]) * 16 + hexDigit(text[3]));
    return true;
}

bool cardPresent(const Context& context, const std::string& reader) {
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    return SCardGetStatusChange(context.get(), 0, &state, 1) == SCARD_S_SUCCESS &&
           (state.dwEventState & SCARD_STATE_PRESENT) != 0;
}

int32_t readFile(const Card& card, const unsigned char (&id)[2], const char* pin,
                 SGSC_CARD_DATA* out) {
    std::vector<unsigned char> data;
    unsigned status = 0;
    if (!card.transmit({0x00, 0xA4, 0x00, 0x0C, 0x02, id[0], id[1]}, data, status) ||
        status != 0x9000) {
        return kFailed;
    }
    const size_t pinLength = strnlen(pin, kMaxPin + 1);
    if (pinLength > kMaxPin) {
        return kFailed;
    }
    std::vector<unsigned char> verify{0x00, 0x20, 0x00, 0x80, static_cast<unsigned char>(pinLength)};
    verify.insert(verify.end(), pin, pin + pinLength);
    const bool verified = card.transmit(verify, data, status) && status == 0x9000;
    OPENSSL_cleanse(verify.data(), verify.size());
    if (!verified) {
        return kFailed;
    }
    const size_t capacity = static_cast<size_t>(out->length);
    size_t read = 0;
    for (;;) {
        const std::vector<unsigned char> apdu{0x00, 0xB0, static_cast<unsigned char>(read >> 8),
                                              static_cast<unsigned char>(read & 0xFF), kChunk};
        if (read > 0x7FFF || !card.transmit(apdu, data, status)) {
            return kFailed;
        }
        if (status == 0x6B00 && read > 0) {
            break;
        }
        if (status != 0x9000 && status != 0x6282) {
            return kFailed;
        }
        if (read + data.size() > capacity) {
            OPENSSL_cleanse(data.data(), data.size());
            return kFailed;
        }
        std::memcpy(out->data + read, data.data(), data.size());
        read += data.size();
        const bool last = data.size() < kChunk || status == 0x6282;
        OPENSSL_cleanse(data.data(), data.size());
        if (last) {
            break;
        }
    }
    out->length = static_cast<int32_t>(read);
    return 0;
}

}  // namespace

extern "C" {

int32_t sgsc_LoadDLL(void) { return 0; }

int32_t sgsc_GetCurComPort(void) {
    const Context context;
    const std::vector<std::string> readers = context.readers();
    for (size_t i = 0; i < readers.size(); ++i) {
        if (cardPresent(context, readers[i])) {
            return static_cast<int32_t>(i);
        }
    }
    return kFailed;
}

int32_t sgsc_GetFile(int32_t port, const char* fileId, const char* pin, SGSC_CARD_DATA* data) {
    unsigned char id[2];
    if (data == nullptr || data->data == nullptr || data->length <= 0 || pin == nullptr ||
        port < 0 || !fileIdentifier(fileId, id)) {
        return kFailed;
    }
    const Context context;
    const std::vector<std::string> readers = context.readers();
    if (static_cast<size_t>(port) >= readers.size()) {
        return kFailed;
    }
    const Card card(context, readers[static_cast<size_t>(port)]);
    if (!card.ok()) {
        return kFailed;
    }
    const int32_t capacity = data->length;
    const int32_t result = readFile(card, id, pin, data);
    if (result != 0) {
        OPENSSL_cleanse(data->data, static_cast<size_t>(capacity));
        data->length = 0;
    }
    return result;
}
}
