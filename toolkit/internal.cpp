#include "internal.h"

#include <openssl/err.h>
#include <openssl/provider.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace otrx {

namespace {

struct Context {
    OSSL_LIB_CTX* ctx = nullptr;
    bool legacy = false;

    Context() {
        ctx = OSSL_LIB_CTX_new();
        if (ctx == nullptr) {
            return;
        }
        // Loading a provider explicitly switches the implicit default off,
        // so both are loaded. They live as long as the process.
        legacy = OSSL_PROVIDER_load(ctx, "legacy") != nullptr;
        if (OSSL_PROVIDER_load(ctx, "default") == nullptr) {
            OSSL_LIB_CTX_free(ctx);
            ctx = nullptr;
        }
        ERR_clear_error();
    }
};

const Context& context() {
    static const Context instance;
    return instance;
}

}  // namespace

OSSL_LIB_CTX* libraryContext() { return context().ctx; }

bool legacyAvailable() { return context().legacy; }

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe();
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

void SecretBytes::truncate(size_t size) {
    if (size < bytes_.size()) {
        OPENSSL_cleanse(bytes_.data() + size, bytes_.size() - size);
        bytes_.resize(size);
    }
}

void SecretBytes::wipe() {
    if (!bytes_.empty()) {
        OPENSSL_cleanse(bytes_.data(), bytes_.size());
    }
}

namespace {

// Reads into `data`, which the caller sizes; grows it for files whose size
// the file system does not report (pipes, /proc).
template <typename Buffer>
Status readInto(const char* path, Buffer& out, Buffer (*make)(size_t)) {
    if (path == nullptr || *path == '\0') {
        return kFileUnreadable;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return kFileUnreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kFileUnreadable;
    }
    size_t capacity = st.st_size > 0 ? static_cast<size_t>(st.st_size) : 4096;
    Buffer buffer = make(capacity);
    size_t used = 0;
    for (;;) {
        if (used == buffer.size()) {
            Buffer bigger = make(buffer.size() * 2);
            std::memcpy(bigger.data(), buffer.data(), used);
            buffer = std::move(bigger);
        }
        ssize_t n = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return kFileUnreadable;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    buffer.truncate(used);
    out = std::move(buffer);
    return kOk;
}

// std::vector with the truncate() that SecretBytes has.
struct PlainBytes : std::vector<unsigned char> {
    using std::vector<unsigned char>::vector;
    void truncate(size_t size) { resize(size); }
};

PlainBytes makePlain(size_t n) { return PlainBytes(n); }
SecretBytes makeSecret(size_t n) { return SecretBytes(n); }

}  // namespace

Status readFile(const char* path, std::vector<unsigned char>& out) {
    PlainBytes bytes;
    Status status = readInto<PlainBytes>(path, bytes, makePlain);
    if (status == kOk) {
        out = std::move(static_cast<std::vector<unsigned char>&>(bytes));
    }
    return status;
}

Status readSecretFile(const char* path, SecretBytes& out) {
    return readInto<SecretBytes>(path, out, makeSecret);
}

AtomicOutput::~AtomicOutput() { discard(); }

Status AtomicOutput::open(const char* path) {
    discard();
    if (path == nullptr || *path == '\0') {
        return kFileUnwritable;
    }
    target_ = path;
    std::string pattern = target_ + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return kFileUnwritable;
    }
    temporary_ = pattern;
    bio_.reset(BIO_new_fd(fd, BIO_CLOSE));
    if (!bio_) {
        ::close(fd);
        discard();
        return kOutOfMemory;
    }
    return kOk;
}

Status AtomicOutput::commit() {
    if (!bio_) {
        return kFileUnwritable;
    }
    int fd = -1;
    BIO_get_fd(bio_.get(), &fd);
    BIO_set_close(bio_.get(), BIO_NOCLOSE);
    bool ok = BIO_flush(bio_.get()) == 1;
    bio_.reset();
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return kFileUnwritable;
    }
    temporary_.clear();
    return kOk;
}

void AtomicOutput::discard() {
    bio_.reset();
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

CmsPtr parseCms(const std::vector<unsigned char>& der) {
    CMS_ContentInfo* cms = CMS_ContentInfo_new_ex(libraryContext(), nullptr);
    if (cms == nullptr) {
        return nullptr;
    }
    const unsigned char* p = der.data();
    // On failure d2i frees the object it was given and clears the pointer.
    if (d2i_CMS_ContentInfo(&cms, &p, static_cast<long>(der.size())) == nullptr) {
        CMS_ContentInfo_free(cms);
        return nullptr;
    }
    CmsPtr parsed(cms);
    if (p != der.data() + der.size()) {
        return nullptr;
    }
    return parsed;
}

bool OsslErrors::has(int library, int reason) const {
    for (unsigned long e : codes) {
        if (ERR_GET_LIB(e) == library && ERR_GET_REASON(e) == reason) {
            return true;
        }
    }
    return false;
}

bool OsslErrors::hasLibrary(int library) const {
    for (unsigned long e : codes) {
        if (ERR_GET_LIB(e) == library) {
            return true;
        }
    }
    return false;
}

OsslErrors takeErrors() {
    OsslErrors errors;
    unsigned long e;
    while ((e = ERR_get_error()) != 0) {
        errors.codes.push_back(e);
    }
    return errors;
}

Status copyText(const std::string& text, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return kInvalidArgument;
    }
    size_t room = static_cast<size_t>(capacity) - 1;
    if (text.size() <= room) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
        return kOk;
    }
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::memcpy(buffer, text.data(), cut);
    buffer[cut] = '\0';
    return kBufferTooSmall;
}

}  // namespace otrx
