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

// Freed when the library unloads or the process ends; it is made after
// OpenSSL's own start-up, so its clean-up runs before OpenSSL's.
struct Context {
    OSSL_LIB_CTX* ctx = nullptr;
    OSSL_PROVIDER* legacyProvider = nullptr;
    OSSL_PROVIDER* defaultProvider = nullptr;

    Context() {
        ctx = OSSL_LIB_CTX_new();
        if (ctx == nullptr) {
            return;
        }
        // Loading a provider explicitly switches the implicit default off,
        // so both are loaded.
        legacyProvider = OSSL_PROVIDER_load(ctx, "legacy");
        defaultProvider = OSSL_PROVIDER_load(ctx, "default");
        if (defaultProvider == nullptr) {
            release();
        }
        ERR_clear_error();
    }
    ~Context() { release(); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void release() {
        if (legacyProvider != nullptr) {
            OSSL_PROVIDER_unload(legacyProvider);
        }
        if (defaultProvider != nullptr) {
            OSSL_PROVIDER_unload(defaultProvider);
        }
        OSSL_LIB_CTX_free(ctx);
        ctx = nullptr;
        legacyProvider = defaultProvider = nullptr;
    }
};

const Context& context() {
    static const Context instance;
    return instance;
}

}  // namespace

OSSL_LIB_CTX* libraryContext() { return context().ctx; }


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

// Opens a regular file for reading: a FIFO or a device is refused before
// anything waits on it or reads it without end. -1 on failure.
int openRegularFile(const char* path, size_t limit, size_t& size) {
    if (path == nullptr || *path == '\0') {
        return -1;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > limit ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    size = static_cast<size_t>(st.st_size);
    return fd;
}

// Reads a whole regular file into a buffer of the size the file system
// reports; a file that grows beyond it while it is read is refused.
template <typename Buffer>
Status readInto(const char* path, Buffer& out, size_t limit, Buffer (*make)(size_t)) {
    size_t size = 0;
    int fd = openRegularFile(path, limit, size);
    if (fd < 0) {
        return kFileUnreadable;
    }
    Buffer buffer = make(size + 1);
    size_t used = 0;
    for (;;) {
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
        if (used == buffer.size()) {
            ::close(fd);
            return kFileUnreadable;
        }
    }
    ::close(fd);
    buffer.truncate(used);
    out = std::move(buffer);
    return kOk;
}

Bytes makePlain(size_t n) { return Bytes(n); }
SecretBytes makeSecret(size_t n) { return SecretBytes(n); }

}  // namespace

Bytes::Bytes(size_t size)
    : data_(static_cast<unsigned char*>(std::malloc(size > 0 ? size : 1))), size_(size) {
    if (!data_) {
        throw std::bad_alloc();
    }
}

Status readFile(const char* path, Bytes& out, size_t limit) {
    return readInto<Bytes>(path, out, limit, makePlain);
}

Status readSecretFile(const char* path, SecretBytes& out, size_t limit) {
    return readInto<SecretBytes>(path, out, limit, makeSecret);
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

Status openInput(const char* path, BioPtr& in) {
    size_t size = 0;
    int fd = openRegularFile(path, kMaxMessageFile, size);
    if (fd < 0) {
        return kFileUnreadable;
    }
    in.reset(BIO_new_fd(fd, BIO_CLOSE));
    if (!in) {
        ::close(fd);
        ERR_clear_error();
        return kOutOfMemory;
    }
    return kOk;
}

Status writeCms(const char* path, CMS_ContentInfo* cms) {
    AtomicOutput out;
    Status status = out.open(path);
    if (status != kOk) {
        return status;
    }
    if (i2d_CMS_bio(out.bio(), cms) != 1) {
        ERR_clear_error();
        return kFileUnwritable;
    }
    return out.commit();
}

CmsPtr parseCms(const Bytes& der) {
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

Status loadCms(const char* path, int nid, Status malformed, CmsPtr& cms) {
    Bytes der;
    Status status = readFile(path, der, kMaxMessageFile);
    if (status != kOk) {
        return status;
    }
    cms = parseCms(der);
    if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != nid) {
        ERR_clear_error();
        cms.reset();
        return malformed;
    }
    return kOk;
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
