// The registry export: certificates kept in user.reg become folders under
// c:\kvx\ that the hard-disk scan lists.
#include "certworld.h"
#include "registryexport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

using certtest::PrefixWorld;
using certtest::q;
using testsupport::exists;
using testsupport::readFile;
using Rows = std::vector<std::string>;

namespace {

int modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// A string as Wine writes it into a registry file: backslash, quote and
// the C escapes; other control characters in octal; beyond ASCII \x with
// four digits only where a hex digit follows.
std::string wineString(const QString& text) {
    std::string out;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hexFollows = i + 1 < text.size() && isxdigit(text[i + 1].unicode()) != 0;
        char buffer[16];
        if (c > 127) {
            std::snprintf(buffer, sizeof buffer, hexFollows ? "\\x%04x" : "\\x%x", c);
            out += buffer;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32) {
            std::snprintf(buffer, sizeof buffer, "\\%o", c);
            out += buffer;
        } else {
            if (c == '\\' || c == '"') {
                out += '\\';
            }
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The stores keep PEM text with CR LF line ends and no line end after the
// last marker line.
std::string windowsPem(std::string pem) {
    while (!pem.empty() && pem.back() == '\n') {
        pem.pop_back();
    }
    std::string out;
    for (char c : pem) {
        if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

struct StoreEntry {
    std::string store, name;
    std::string cert, key;  // the "Sign" values; empty: the key is not written
};

// A user.reg as Wine writes one.
void writeUserReg(const std::string& path, const std::vector<StoreEntry>& entries) {
    std::string text =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
        "#arch=win64\n\n[Software\\\\Wine] 1796962000\n#time=1da5a1b2c3d4e50\n"
        "\"Version\"=\"win10\"\n\n";
    for (const StoreEntry& e : entries) {
        const std::string name = wineString(QString::fromStdString(e.name));
        if (!e.cert.empty()) {
            text += "[Software\\\\" + e.store + "\\\\PKICERT\\\\Certificate\\\\" + name +
                    "] 1796962103\n#time=1da5a1b2c3d4e5f\n\"Sign\"=\"" +
                    wineString(QString::fromStdString(e.cert)) + "\"\n\n";
        } else {
            text += "[Software\\\\" + e.store + "\\\\PKICERT\\\\Certificate\\\\" + name +
                    "] 1796962103\n#time=1da5a1b2c3d4e5f\n\n";
        }
        if (!e.key.empty()) {
            text += "[Software\\\\" + e.store + "\\\\PKICERT\\\\User\\\\" + name +
                    "\\\\PrivateKey] 1796962104\n#time=1da5a1b2c3d4e60\n\"Sign\"=\"" +
                    wineString(QString::fromStdString(e.key)) + "\"\n\"Flags\"=dword:00000001\n\n";
        }
    }
    testsupport::writeFile(path, text);
}

// PEM texts for a certificate and its RSA key, with Windows line ends.
struct Pem {
    std::string der, cert, key, keyDer;
};

Pem pemFor(const std::string& subject) {
    testsupport::TempDir dir;
    const fixtures::Key key = fixtures::makeRsaKey(1024);
    const fixtures::Cert cert =
        fixtures::issue({subject, false, 77}, key, &certtest::issuers().yessign);
    fixtures::writeCertDer(dir / "c.der", cert);
    fixtures::writeCertPem(dir / "c.pem", cert);
    fixtures::writeKey(dir / "k.pem", key, "", fixtures::KeyScheme::PemRsa);
    fixtures::writeKey(dir / "k.der", key, "", fixtures::KeyScheme::DerPkcs1);
    return {readFile(dir / "c.der"), windowsPem(readFile(dir / "c.pem")),
            windowsPem(readFile(dir / "k.pem")), readFile(dir / "k.der")};
}

const Pem& pem(int i) {
    static std::vector<Pem> made;
    while (static_cast<int>(made.size()) <= i) {
        made.push_back(pemFor("cn=reg" + std::to_string(made.size()) + ",o=yessign,c=kr"));
    }
    return made[i];
}

}  // namespace

TEST(RegistryExport, NumbersUsableCertificatesAcrossBothStores) {
    PrefixWorld w;
    writeUserReg(w.root + "/user.reg",
                 {{"SIGNGATE", "cn=홍길동()0001", pem(1).cert, pem(1).key},
                  {"SIGNGATE", "cn=NoKey", pem(2).cert, ""},  // no private-key key
                  {"SIGNGATE", "cn=Zed", pem(0).cert, pem(0).key},
                  {"KNCA", "CN=Test", pem(2).cert, pem(2).key},
                  {"KNCA", "test", pem(0).cert, pem(0).key}});
    EXPECT_EQ(certificates::exportRegistryCerts(w.prefix), 3);
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const std::string folder = w.c("kvx/cn=" + std::to_string(n));
        EXPECT_TRUE(readFile(folder + "/SignCert.der") == pem(n - 1).der);
        EXPECT_TRUE(readFile(folder + "/SignPri.key") == pem(n - 1).keyDer);
        EXPECT_EQ(modeOf(folder), 0700);
        EXPECT_EQ(modeOf(folder + "/SignPri.key"), 0600);
    }
    EXPECT_EQ(modeOf(w.c("kvx")), 0700);
    EXPECT_FALSE(exists(w.c("kvx/cn=4")));

    w.list.clearCertification();
    w.scans.scanDiskCerts();
    EXPECT_EQ(w.rows(), (Rows{"reg0|금융결제원|c:\\kvx\\cn=1\\SignCert.der",
                              "reg1|금융결제원|c:\\kvx\\cn=2\\SignCert.der",
                              "reg2|금융결제원|c:\\kvx\\cn=3\\SignCert.der"}));

    // A second run writes the same files again, in the subkeys' order
    // (Zed before the Korean name).
    EXPECT_EQ(certificates::exportRegistryCerts(w.prefix), 3);
    EXPECT_TRUE(readFile(w.c("kvx/cn=2/SignCert.der")) == pem(1).der);
}

TEST(RegistryExport, ValueTooShortOrNotBase64EndsTheExport) {
    struct Case {
        const char* what;
        std::string cert, key;
        int exported;
        bool secondCertWritten;
    } cases[] = {
        {"short certificate", std::string(51, 'x'), pem(1).key, 1, false},
        {"short key", pem(1).cert, std::string(59, 'x'), 1, true},
        {"not base64", "-----BEGIN CERTIFICATE-----\r\n@@@@\r\n-----END CERTIFICATE-----",
         pem(1).key, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PrefixWorld w;
        writeUserReg(w.root + "/user.reg", {{"SIGNGATE", "cn=A", pem(0).cert, pem(0).key},
                                            {"SIGNGATE", "cn=B", c.cert, c.key},
                                            {"KNCA", "cn=C", pem(2).cert, pem(2).key}});
        EXPECT_EQ(certificates::exportRegistryCerts(w.prefix), c.exported);
        EXPECT_TRUE(exists(w.c("kvx/cn=1/SignPri.key")));
        EXPECT_EQ(exists(w.c("kvx/cn=2/SignCert.der")), c.secondCertWritten);
        EXPECT_FALSE(exists(w.c("kvx/cn=2/SignPri.key")));
        EXPECT_FALSE(exists(w.c("kvx/cn=3")));  // the other store is not reached
    }
}

TEST(RegistryExport, MissingOrEmptyStoresExportNothing) {
    PrefixWorld w;
    EXPECT_EQ(certificates::exportRegistryCerts(w.prefix), 0);  // no user.reg at all
    testsupport::writeFile(w.root + "/user.reg",
                           "WINE REGISTRY Version 2\n\n[Software\\\\SIGNGATE\\\\PKICERT\\\\"
                           "Certificate] 1796962103\n\n");
    EXPECT_EQ(certificates::exportRegistryCerts(w.prefix), 0);
    EXPECT_FALSE(exists(w.c("kvx")));
}

TEST(RegistryValues, ReadAsTheFixedBufferGivesThem) {
    const platform::Registry registry = platform::Registry::parse(
        "WINE REGISTRY Version 2\n\n[Software\\\\S\\\\K] 1\n\"Padded\"=\"  a b  \"\n"
        "\"Long\"=\"" +
        QByteArray(4095, 'x') + "\"\n\"TooLong\"=\"" + QByteArray(4096, 'x') + "\"\n");
    struct Case {
        const char *key, *value;
        QString result;
    } cases[] = {
        {"Software\\S\\K", "Padded", QStringLiteral("a b")},
        {"software\\s\\k", "padded", QStringLiteral("a b")},
        {"Software\\S\\K", "Missing", QString()},
        {"Software\\S\\Nope", "Padded", QStringLiteral("-999")},
        {"Software\\S\\K", "Long", QString(4095, u'x')},
        {"Software\\S\\K", "TooLong", QStringLiteral("-999")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(certificates::getRegistryKeyValue(registry, c.key, c.value), c.result)
            << c.key << " " << c.value;
    }
}

TEST(RegistryValues, SubkeyListsStopAtTheirLimits) {
    struct Case {
        int names;
        int nameBytes;
        int listed;
    } cases[] = {{100, 10, 100}, {101, 10, 0}, {3, 255, 3}, {3, 256, 0}};
    for (const Case& c : cases) {
        QByteArray text = "WINE REGISTRY Version 2\n\n";
        for (int i = 0; i < c.names; ++i) {
            const QByteArray number = QByteArray::number(i).rightJustified(3, '0');
            text += "[Root\\\\" + number + QByteArray(c.nameBytes - 3, 'n') + "] 1\n";
        }
        const platform::Registry registry = platform::Registry::parse(text);
        EXPECT_EQ(certificates::listRegistrySubkeys(registry, "Root").size(), c.listed)
            << c.names << " names of " << c.nameBytes;
    }
}
