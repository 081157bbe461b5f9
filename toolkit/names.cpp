#include "names.h"

#include <openssl/objects.h>

#include <cctype>

namespace otrx {

namespace {

std::string label(const ASN1_OBJECT* oid) {
    int nid = OBJ_obj2nid(oid);
    const char* shortName = nid != NID_undef ? OBJ_nid2sn(nid) : nullptr;
    std::string text;
    if (shortName != nullptr) {
        text = shortName;
    } else {
        char dotted[128];
        int n = OBJ_obj2txt(dotted, sizeof dotted, oid, 1);
        text = n > 0 && static_cast<size_t>(n) < sizeof dotted ? dotted : "?";
    }
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool value(const ASN1_STRING* data, std::string& text) {
    unsigned char* utf8 = nullptr;
    int n = ASN1_STRING_to_UTF8(&utf8, data);
    if (n < 0) {
        return false;
    }
    text.assign(reinterpret_cast<const char*>(utf8), static_cast<size_t>(n));
    OPENSSL_free(utf8);
    return true;
}

}  // namespace

bool formatName(const X509_NAME* name, std::string& text) {
    if (name == nullptr) {
        return false;
    }
    std::string out;
    int count = X509_NAME_entry_count(name);
    int previousSet = -1;
    for (int i = count - 1; i >= 0; --i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        std::string v;
        if (!value(X509_NAME_ENTRY_get_data(entry), v)) {
            return false;
        }
        int set = X509_NAME_ENTRY_set(entry);
        if (i != count - 1) {
            out += set == previousSet ? "+" : ",";
        }
        previousSet = set;
        out += label(X509_NAME_ENTRY_get_object(entry));
        out += '=';
        out += v;
    }
    text = std::move(out);
    return true;
}

}  // namespace otrx
