#include "trustconf.h"

#include <ini.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace otrx {

namespace fs = std::filesystem;

namespace {

struct Entries {
    std::vector<std::string> tops;
    std::vector<std::string> intermediates;
    std::vector<std::string> signers;
    std::vector<std::string> policies;
    std::string checkTime;
};

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

int onEntry(void* user, const char* section, const char* name, const char* value) {
    auto* entries = static_cast<Entries*>(user);
    std::string s = lower(section);
    std::string n = lower(name);
    if (s == "trust" && n == "top") {
        entries->tops.emplace_back(value);
    } else if (s == "trust" && n == "intermediate") {
        entries->intermediates.emplace_back(value);
    } else if (s == "validation" && n == "check_time") {
        entries->checkTime = lower(value);
    } else if (s == "signers" && n == "cert") {
        entries->signers.emplace_back(value);
    } else if (s == "signers" && n == "policy") {
        entries->policies.emplace_back(value);
    }
    return 1;
}

bool isCertificateFile(const fs::path& path) {
    std::string ext = lower(path.extension().string());
    return ext == ".der" || ext == ".cer" || ext == ".crt" || ext == ".pem";
}

// Every certificate of a file: one DER certificate, or all those of a PEM
// bundle.
Status addFile(const fs::path& path, STACK_OF(X509) * into) {
    Bytes bytes;
    Status status = readFile(path.c_str(), bytes);
    if (status != kOk) {
        return status;
    }
    static const char kMarker[] = "-----BEGIN";
    const auto* begin = reinterpret_cast<const char*>(bytes.data());
    bool pem = std::search(begin, begin + bytes.size(), kMarker, kMarker + sizeof kMarker - 1) !=
               begin + bytes.size();
    if (!pem) {
        X509Ptr x509 = parseCertificate(bytes.data(), bytes.size());
        if (!x509 || !sk_X509_push(into, x509.get())) {
            return kCertificateMalformed;
        }
        x509.release();
        return kOk;
    }
    if (bytes.size() > static_cast<size_t>(INT_MAX)) {
        return kCertificateMalformed;
    }
    BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    int added = 0;
    for (;;) {
        X509* raw = X509_new_ex(libraryContext(), nullptr);
        if (raw == nullptr || PEM_read_bio_X509(bio.get(), &raw, nullptr, nullptr) == nullptr) {
            X509_free(raw);
            break;
        }
        if (!sk_X509_push(into, raw)) {
            X509_free(raw);
            return kOutOfMemory;
        }
        ++added;
    }
    ERR_clear_error();
    return added > 0 ? kOk : kCertificateMalformed;
}

fs::path resolved(const fs::path& base, const std::string& entry) {
    fs::path path(entry);
    return path.is_relative() ? base / path : path;
}

Status addEntry(const fs::path& base, const std::string& entry, STACK_OF(X509) * into) {
    const fs::path path = resolved(base, entry);
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        return addFile(path, into);
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && isCertificateFile(it->path())) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        return kFileUnreadable;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        Status status = addFile(file, into);
        if (status != kOk) {
            return status;
        }
    }
    return kOk;
}

}  // namespace

Status loadTrustConfig(const char* path, TrustConfig& config) {
    if (path == nullptr || *path == '\0') {
        return kFileUnreadable;
    }
    if (!config.tops || !config.intermediates) {
        return kOutOfMemory;
    }
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return kFileUnreadable;
    }
    // Read as any other toolkit file (a regular file of bounded size), then
    // parsed from memory.
    Bytes bytes;
    Status read = readFile(path, bytes);
    if (read != kOk) {
        return read;
    }
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Entries entries;
    if (text.find('\0') != std::string::npos ||
        ini_parse_string(text.c_str(), onEntry, &entries) != 0) {
        return kFileUnreadable;
    }
    if (entries.checkTime.empty() || entries.checkTime == "yes" || entries.checkTime == "true" ||
        entries.checkTime == "1") {
        config.checkTime = true;
    } else if (entries.checkTime == "no" || entries.checkTime == "false" ||
               entries.checkTime == "0") {
        config.checkTime = false;
    } else {
        return kFileUnreadable;
    }
    fs::path base = fs::path(path).parent_path();
    for (const std::string& top : entries.tops) {
        std::error_code ec;
        if (!fs::exists(resolved(base, top), ec)) {
            continue;  // the roots are not installed (yet)
        }
        Status status = addEntry(base, top, config.tops.get());
        if (status != kOk) {
            return status;
        }
    }
    for (const std::string& intermediate : entries.intermediates) {
        Status status = addEntry(base, intermediate, config.intermediates.get());
        if (status != kOk) {
            return status;
        }
    }
    for (const std::string& signer : entries.signers) {
        Status status = addEntry(base, signer, config.signers.get());
        if (status != kOk) {
            return status;
        }
    }
    for (const std::string& policy : entries.policies) {
        ASN1_OBJECT* oid = OBJ_txt2obj(policy.c_str(), 1);
        if (oid == nullptr) {
            ERR_clear_error();
            return kFileUnreadable;
        }
        ASN1_OBJECT_free(oid);
        config.policies.push_back(policy);
    }
    return sk_X509_num(config.tops.get()) > 0 ? kOk : kNoTopCertificate;
}

SignerAllowance allowanceOf(X509* signer, const TrustConfig& config) {
    if (!config.restrictsSigners()) {
        return {true, "none", ""};
    }
    for (int i = 0; i < sk_X509_num(config.signers.get()); ++i) {
        if (X509_cmp(sk_X509_value(config.signers.get(), i), signer) == 0) {
            return {true, "cert", ""};
        }
    }
    using PoliciesPtr = std::unique_ptr<CERTIFICATEPOLICIES, Deleter<CERTIFICATEPOLICIES_free>>;
    PoliciesPtr policies(static_cast<CERTIFICATEPOLICIES*>(
        X509_get_ext_d2i(signer, NID_certificate_policies, nullptr, nullptr)));
    for (int i = 0; policies && i < sk_POLICYINFO_num(policies.get()); ++i) {
        char text[128];
        const POLICYINFO* info = sk_POLICYINFO_value(policies.get(), i);
        if (OBJ_obj2txt(text, sizeof text, info->policyid, 1) <= 0) {
            continue;
        }
        for (const std::string& wanted : config.policies) {
            if (wanted == text) {
                return {true, "policy", wanted};
            }
        }
    }
    ERR_clear_error();
    return {false, "none", ""};
}

}  // namespace otrx
