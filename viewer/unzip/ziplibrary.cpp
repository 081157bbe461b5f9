#include "ziplibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace unzip {

namespace {

struct ZipClose {
    void operator()(zip_t* z) const noexcept { zip_discard(z); }
};
struct FileClose {
    void operator()(zip_file_t* f) const noexcept { zip_fclose(f); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipClose>;
using ZipFilePtr = std::unique_ptr<zip_file_t, FileClose>;

bool isAscii(const char* s) {
    for (; *s; ++s) {
        if (static_cast<unsigned char>(*s) >= 0x80) {
            return false;
        }
    }
    return true;
}

QString fromCp949(const char* raw) {
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return QString::fromLatin1(raw);
    }
    size_t inLeft = std::strlen(raw);
    std::string out(inLeft * 3 + 1, '\0');
    char* in = const_cast<char*>(raw);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) {
        return QString::fromLatin1(raw);
    }
    out.resize(out.size() - outLeft);
    return QString::fromStdString(out);
}

// libzip does not tell whether a name carries the UTF-8 flag: a name is
// taken as UTF-8 when it is ASCII, when its raw and strict forms agree, or
// when it is valid UTF-8; otherwise it is CP949, as the machines that make
// these archives write it.
QString memberName(zip_t* za, zip_uint64_t index) {
    const char* raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    if (raw == nullptr) {
        return QString();
    }
    if (isAscii(raw)) {
        return QString::fromLatin1(raw);
    }
    const char* strict = zip_get_name(za, index, ZIP_FL_ENC_STRICT);
    QByteArray bytes(raw);
    if ((strict != nullptr && std::strcmp(raw, strict) == 0) || QString::fromUtf8(bytes).toUtf8() == bytes) {
        return QString::fromUtf8(bytes);
    }
    return fromCp949(raw);
}

// The member's path below the extraction folder, or an empty list when the
// name would leave it. "." and empty components are dropped.
QStringList safeComponents(const QString& name) {
    QString normal = name;
    normal.replace(u'\\', u'/');
    if (normal.startsWith(u'/')) {
        return {};
    }
    QStringList parts = normal.split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    if (parts.isEmpty()) {
        return {};
    }
    const QString& first = parts.first();
    if (first.size() >= 2 && first[1] == u':' && first[0].isLetter()) {
        return {};
    }
    return parts.contains(QStringLiteral("..")) ? QStringList() : parts;
}

// The entry of a host folder whose name differs from `name` at most in
// letter case, or `name` itself where there is none.
QString entryIgnoringCase(const QString& folder, const QString& name) {
    if (QFileInfo::exists(folder + u'/' + name)) {
        return name;
    }
    // Of several entries that differ only in case, the one a Windows
    // listing gives first (the smallest by code unit) is taken. The listing
    // is read unsorted: sorting it costs a locale-aware comparison a name.
    const QString wanted = name.toUpper();
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    QString found;
    for (const QString& entry : entries) {
        if (entry.toUpper() == wanted && (found.isNull() || entry < found)) {
            found = entry;
        }
    }
    return found.isNull() ? name : found;
}

bool isLink(zip_t* za, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) != 0) {
        return false;
    }
    return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

bool makeFolders(const QString& folder) {
    return QFileInfo(folder).isDir() || QDir().mkpath(folder);
}

// The outcome of writing one member.
enum class Written { Ok, WrongPassword, Damaged, WriteFailed, OverLimit };

// Copies an opened member into `target` through a temporary file beside
// it, so that a failure leaves no half file. At most `allowed` bytes are
// written: a member that unpacks to more is over a limit.
Written writeMember(zip_file_t* member, const QString& target, bool encrypted, qint64 allowed,
                    qint64& written) {
    QByteArray pattern = QFile::encodeName(target) + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return Written::WriteFailed;
    }
    std::vector<char> buffer(1 << 16);
    Written result = Written::Ok;
    for (;;) {
        zip_int64_t n = zip_fread(member, buffer.data(), buffer.size());
        if (n < 0) {
            int code = zip_error_code_zip(zip_file_get_error(member));
            // ZipCrypto's one-byte check lets about one wrong password in
            // 256 through; it then fails here as a data error.
            bool dataError = code == ZIP_ER_CRC || code == ZIP_ER_ZLIB;
            result = code == ZIP_ER_WRONGPASSWD || (encrypted && dataError) ? Written::WrongPassword
                                                                            : Written::Damaged;
            break;
        }
        if (n == 0) {
            break;
        }
        if (n > allowed - written) {
            result = Written::OverLimit;
            break;
        }
        written += n;
        const char* p = buffer.data();
        while (n > 0) {
            ssize_t w = ::write(fd, p, static_cast<size_t>(n));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                result = Written::WriteFailed;
                break;
            }
            p += w;
            n -= w;
        }
        if (result != Written::Ok) {
            break;
        }
    }
    if (::close(fd) != 0 && result == Written::Ok) {
        result = Written::WriteFailed;
    }
    if (result == Written::Ok &&
        ::rename(pattern.constData(), QFile::encodeName(target).constData()) != 0) {
        result = Written::WriteFailed;
    }
    if (result != Written::Ok) {
        ::unlink(pattern.constData());
    }
    return result;
}

// What the archive's directory declares stays within the limits: checked
// before a byte is written. The bytes themselves are counted as they are
// written, since a directory can lie.
bool withinLimits(zip_t* za, zip_int64_t count) {
    if (count < 0 || count > kMaxMembers) {
        return false;
    }
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            (st.valid & ZIP_STAT_SIZE) == 0) {
            continue;
        }
        const qint64 size = st.size > static_cast<zip_uint64_t>(kMaxTotalSize)
                                ? kMaxTotalSize + 1
                                : static_cast<qint64>(st.size);
        total += size;
        const bool ratioKnown = (st.valid & ZIP_STAT_COMP_SIZE) != 0;
        if (total > kMaxTotalSize ||
            (ratioKnown && size > kRatioFloor &&
             size / std::max<qint64>(1, static_cast<qint64>(st.comp_size)) > kMaxRatio)) {
            return false;
        }
    }
    return true;
}

class Extraction {
public:
    Extraction(zip_t* za, const OptionRecord& options, CallbackRecord& callbacks)
        : za_(za), options_(options), callbacks_(callbacks) {}
    ~Extraction() { explicit_bzero(password_.data(), password_.size()); }

    int32_t member(zip_uint64_t index, const QString& name);

private:
    void fail(int32_t code) {
        if (result_ == kOk) {
            result_ = code;
        }
    }
    bool mayWrite(const QString& target);
    ZipFilePtr open(zip_uint64_t index, const QString& name, bool encrypted, bool& declined);
    QString resolve(const QStringList& parts) const;
    qint64 allowance(const zip_stat_t& st) const;

public:
    int32_t result_ = kOk;

private:
    zip_t* za_;
    const OptionRecord& options_;
    CallbackRecord& callbacks_;
    bool overwriteNone_ = false;
    std::string password_;  // the last password that opened a member
    qint64 extracted_ = 0;  // bytes written so far
};

// The path below the extraction folder under which `parts` lands: each
// component that exists already, in another letter case, is taken as it
// is, as a Windows file system takes it.
QString Extraction::resolve(const QStringList& parts) const {
    QString relative;
    for (const QString& part : parts) {
        const QString folder =
            relative.isEmpty() ? options_.folder : options_.folder + u'/' + relative;
        const QString entry = entryIgnoringCase(folder, part);
        relative += (relative.isEmpty() ? QString() : QStringLiteral("/")) + entry;
    }
    return relative;
}

// How many bytes a member may unpack to: what is left of the total, and no
// more than the ratio allows.
qint64 Extraction::allowance(const zip_stat_t& st) const {
    qint64 allowed = kMaxTotalSize - extracted_;
    if ((st.valid & ZIP_STAT_COMP_SIZE) != 0) {
        const qint64 byRatio =
            std::max(kRatioFloor, static_cast<qint64>(st.comp_size) * kMaxRatio);
        allowed = std::min(allowed, byRatio);
    }
    return allowed;
}

bool Extraction::mayWrite(const QString& target) {
    QFileInfo info(target);
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    if (options_.overwriteAlways) {
        return true;
    }
    if (!options_.promptToOverwrite || overwriteNone_ || !callbacks_.replace) {
        return false;
    }
    int answer = callbacks_.replace(target);
    if (answer == kReplaceNone) {
        overwriteNone_ = true;
    }
    return answer == kReplaceYes;
}

ZipFilePtr Extraction::open(zip_uint64_t index, const QString& name, bool encrypted,
                            bool& declined) {
    declined = false;
    if (!encrypted) {
        return ZipFilePtr(zip_fopen_index(za_, index, 0));
    }
    if (!password_.empty()) {
        ZipFilePtr file(zip_fopen_index_encrypted(za_, index, 0, password_.c_str()));
        if (file) {
            return file;
        }
    }
    for (int attempt = 0; attempt < kPasswordTries && callbacks_.password; ++attempt) {
        char buffer[kPasswordBufferSize] = {};
        int answer = callbacks_.password(buffer, sizeof buffer, QStringLiteral("Enter password:"),
                                         name);
        buffer[sizeof buffer - 1] = '\0';
        if (answer != kPasswordSupplied) {
            explicit_bzero(buffer, sizeof buffer);
            declined = true;
            return nullptr;
        }
        ZipFilePtr file(zip_fopen_index_encrypted(za_, index, 0, buffer));
        if (file) {
            explicit_bzero(password_.data(), password_.size());
            password_ = buffer;
        }
        explicit_bzero(buffer, sizeof buffer);
        if (file) {
            return file;
        }
    }
    declined = true;
    return nullptr;
}

int32_t Extraction::member(zip_uint64_t index, const QString& name) {
    QStringList parts = safeComponents(name);
    if (parts.isEmpty() || isLink(za_, index)) {
        fail(kMemberRefused);
        return kOk;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za_, index, 0, &st) != 0) {
        fail(kDamaged);
        return kOk;
    }
    if (callbacks_.service && callbacks_.service(name, static_cast<qint64>(st.size)) != 0) {
        return kStopped;
    }
    bool folderEntry = name.endsWith(u'/') || name.endsWith(u'\\');
    QString relative = resolve(options_.keepFolders ? parts : QStringList{parts.last()});
    QString target = options_.folder + u'/' + relative;
    if (folderEntry) {
        if (options_.keepFolders && !makeFolders(target)) {
            fail(kWriteFailed);
        }
        return kOk;
    }
    if (!makeFolders(QFileInfo(target).path())) {
        fail(kWriteFailed);
        return kOk;
    }
    if (!mayWrite(target)) {
        return kOk;
    }
    bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    bool declined = false;
    ZipFilePtr file = open(index, name, encrypted, declined);
    if (!file) {
        fail(declined ? kBadPassword : kDamaged);
        return kOk;
    }
    if (callbacks_.print) {
        callbacks_.print(QStringLiteral("  inflating: ") + relative);
    }
    qint64 written = 0;
    const Written outcome = writeMember(file.get(), target, encrypted, allowance(st), written);
    extracted_ += written;
    switch (outcome) {
        case Written::Ok:
            break;
        case Written::OverLimit:
            fail(kOverLimit);
            return kOverLimit;
        case Written::WrongPassword:
            // The password let the check byte through but not the data.
            explicit_bzero(password_.data(), password_.size());
            password_.clear();
            fail(kBadPassword);
            break;
        case Written::Damaged:
            fail(kDamaged);
            break;
        case Written::WriteFailed:
            fail(kWriteFailed);
            break;
    }
    return kOk;
}

}  // namespace

int32_t singleEntryUnzip(const QStringList& include, const QStringList& exclude,
                         const OptionRecord& options, CallbackRecord& callbacks) {
    int error = 0;
    // Without consistency checks: an archive with two members of one name
    // must still open, so that the overwrite question can be asked.
    ZipPtr za(zip_open(QFile::encodeName(options.archive).constData(), ZIP_RDONLY, &error));
    if (!za) {
        return error == ZIP_ER_INCONS ? kDamaged : kNotAZip;
    }
    zip_int64_t count = zip_get_num_entries(za.get(), 0);
    callbacks.memberCount = static_cast<uint32_t>(std::max<zip_int64_t>(count, 0));
    bool listing = options.listOnly || options.folder.isEmpty();
    if (!listing && !withinLimits(za.get(), count)) {
        return kOverLimit;
    }
    if (!listing && !makeFolders(options.folder)) {
        return kWriteFailed;
    }
    Extraction extraction(za.get(), options, callbacks);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        QString name = memberName(za.get(), index);
        if ((!include.isEmpty() && !include.contains(name)) || exclude.contains(name)) {
            continue;
        }
        if (listing) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (callbacks.message && zip_stat_index(za.get(), index, 0, &st) == 0) {
                callbacks.message(name, static_cast<qint64>(st.size));
            }
            continue;
        }
        const int32_t outcome = extraction.member(index, name);
        if (outcome == kStopped || outcome == kOverLimit) {
            return outcome;
        }
    }
    return extraction.result_;
}

}  // namespace unzip
