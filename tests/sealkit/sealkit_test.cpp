// libSealkit.so through its exported names: statuses, the order of steps and
// what each failure leaves behind.
#include "world.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>

using sealtest::kPassword;
using sealtest::shared;
using testsupport::TempDir;

namespace {

std::string tampered(std::string bytes, size_t fromEnd) {
    bytes[bytes.size() - fromEnd] ^= 0x01;
    return bytes;
}

}  // namespace

TEST(SealkitExports, ExactlyTheInterfaceIsExported) {
    std::string out;
    ASSERT_EQ(testsupport::run({"nm", "-D", "--defined-only", SEALKIT_LIBRARY}, {}, &out), 0);
    std::set<std::string> names;
    std::istringstream lines(out);
    std::string address, type, name;
    while (lines >> address >> type >> name) {
        names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"saveSmartCardKeyAndCertAsFile", "decypt_File",
                                            "getCertInfo2", "getCertInfo", "makeEnc_File",
                                            "makeSig_File", "verifySig_File", "getSignerInfo_File"}));
}

class Unseal : public testing::Test {
protected:
    static void SetUpTestSuite() {
        auto& s = shared();
        docs = new TempDir;
        ASSERT_EQ(sealtest::seal(sealtest::sampleXml(), s / "users/hong/SignCert.der",
                                 *docs / "hong.env"),
                  0);
        ASSERT_EQ(sealtest::seal(sealtest::sampleXml(), s / "users/kim/SignCert.der",
                                 *docs / "kim.env"),
                  0);
        // Decrypted once, for the verification cases.
        ASSERT_EQ(s.lib.decypt_File((*docs / "hong.sig").c_str(), (*docs / "hong.env").c_str(),
                                    (s / "users/hong/SignPri.key").c_str(), kPassword),
                  0);
        std::string sig = testsupport::readFile(*docs / "hong.sig");
        testsupport::writeFile(*docs / "badsig.sig", tampered(sig, 5));
        std::string content = sealtest::sampleXml();
        size_t at = sig.find(content);
        ASSERT_NE(at, std::string::npos);
        std::string changed = sig;
        changed[at + content.find("홍")] ^= 0x01;
        testsupport::writeFile(*docs / "badcontent.sig", changed);
        testsupport::writeFile(*docs / "garbage", "\x30\x03\x02\x01\x01 not a message");

        // Signed by the other hierarchy's signer, and by an expired signer.
        testsupport::writeFile(*docs / "doc.xml", content);
        ASSERT_EQ(s.lib.makeSig_File((*docs / "gov.sig").c_str(), (*docs / "doc.xml").c_str(),
                                     (s / "issuer/gov-signer.key").c_str(),
                                     (s / "issuer/gov-signer.der").c_str(), ""),
                  0);
        time_t now = std::time(nullptr);
        fixtures::Identity expired = fixtures::makeIdentity(
            {"cn=Expired Signer,o=yessign,c=kr", false, 50, now - 86400 * 60, now - 86400 * 30},
            &s.world.ca);
        fixtures::writeCertDer(*docs / "expired.der", expired.cert);
        fixtures::writeKey(*docs / "expired.key", expired.key, "", fixtures::KeyScheme::PemPkcs8);
        ASSERT_EQ(s.lib.makeSig_File((*docs / "expired.sig").c_str(), (*docs / "doc.xml").c_str(),
                                     (*docs / "expired.key").c_str(),
                                     (*docs / "expired.der").c_str(), ""),
                  0);
        // A detached signature and one that carries no certificates, made by
        // the reference tool.
        ASSERT_EQ(testsupport::run({"openssl", "cms", "-sign", "-binary", "-md", "sha256",
                                    "-signer", s / "pem/signer.pem", "-inkey",
                                    s / "issuer/signer.key", "-in", *docs / "doc.xml",
                                    "-outform", "DER", "-out", *docs / "detached.sig"}),
                  0);
        ASSERT_EQ(testsupport::run({"openssl", "cms", "-sign", "-binary", "-nodetach", "-nocerts",
                                    "-md", "sha256", "-signer", s / "pem/signer.pem", "-inkey",
                                    s / "issuer/signer.key", "-in", *docs / "doc.xml", "-outform",
                                    "DER", "-out", *docs / "nocerts.sig"}),
                  0);
        fixtures::writeFile(*docs / "untrusting.ini",
                            "[trust]\ntop = " + (s / "pki/gov-root.der") + "\n");
    }
    static void TearDownTestSuite() { delete docs; }

    static int32_t decrypt(const std::string& out, const std::string& in, const std::string& key,
                           const char* password = kPassword) {
        return shared().lib.decypt_File(out.c_str(), in.c_str(), key.c_str(), password);
    }
    static int32_t verify(const std::string& out, const std::string& in,
                          const std::string& conf = shared() / "npkiconf.ini",
                          const char* password = kPassword,
                          const std::string& key = shared() / "users/hong/SignPri.key") {
        return shared().lib.verifySig_File(out.c_str(), in.c_str(), key.c_str(),
                                           (shared() / "users/hong/SignCert.der").c_str(),
                                           password, conf.c_str());
    }
    static TempDir* docs;
};

TempDir* Unseal::docs = nullptr;

TEST_F(Unseal, DecryptStatuses) {
    auto& s = shared();
    TempDir out;
    testsupport::writeFile(out / "garbage.key", "garbage");
    struct {
        const char* what;
        std::string out, in, key;
        const char* password;
        int32_t status;
    } cases[] = {
        {"success", out / "a", *docs / "hong.env", s / "users/hong/SignPri.key", kPassword, 0},
        {"wrong password", out / "b", *docs / "hong.env", s / "users/hong/SignPri.key", "1234qwer",
         70018},
        {"empty password", out / "b", *docs / "hong.env", s / "users/hong/SignPri.key", "", 70018},
        {"missing key file", out / "b", *docs / "hong.env", s / "users/hong/none.key", kPassword,
         70019},
        {"key file that does not parse", out / "b", *docs / "hong.env", out / "garbage.key",
         kPassword, 70021},
        {"missing message", out / "b", *docs / "none.env", s / "users/hong/SignPri.key", kPassword,
         70019},
        {"unwritable output", out / "no/such/folder/x", *docs / "hong.env",
         s / "users/hong/SignPri.key", kPassword, 70020},
        {"envelope for another key", out / "b", *docs / "kim.env", s / "users/hong/SignPri.key",
         kPassword, 70806},
        {"garbage envelope", out / "b", *docs / "garbage", s / "users/hong/SignPri.key", kPassword,
         70807},
        {"signed data instead of an envelope", out / "b", *docs / "hong.sig",
         s / "users/hong/SignPri.key", kPassword, 70807},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decrypt(c.out, c.in, c.key, c.password), c.status) << c.what;
        if (c.status != 0) {
            EXPECT_FALSE(testsupport::exists(c.out)) << c.what;
        }
    }
}

TEST_F(Unseal, VerifyStatuses) {
    TempDir out;
    struct {
        const char* what;
        std::string in, conf;
        int32_t status;
        bool written;  // the content is written before the key and path checks
    } cases[] = {
        {"success", *docs / "hong.sig", shared() / "npkiconf.ini", 0, true},
        {"tampered signature", *docs / "badsig.sig", shared() / "npkiconf.ini", 71212, false},
        {"tampered content", *docs / "badcontent.sig", shared() / "npkiconf.ini", 71212, false},
        {"garbage", *docs / "garbage", shared() / "npkiconf.ini", 71203, false},
        {"an envelope", *docs / "hong.env", shared() / "npkiconf.ini", 71203, false},
        {"missing message", *docs / "none.sig", shared() / "npkiconf.ini", 70019, false},
        {"detached content", *docs / "detached.sig", shared() / "npkiconf.ini", 71205, false},
        {"no signer certificate", *docs / "nocerts.sig", shared() / "npkiconf.ini", 71207, false},
        {"signer of another hierarchy", *docs / "gov.sig", shared() / "npkiconf.ini", 70100, true},
        {"own chain not trusted", *docs / "hong.sig", *docs / "untrusting.ini", 70100, true},
        {"expired signer", *docs / "expired.sig", shared() / "npkiconf.ini", 70007, true},
        {"missing configuration", *docs / "hong.sig", *docs / "none.ini", 70019, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string target = out / ("out" + std::to_string(n++));
        EXPECT_EQ(verify(target, c.in, c.conf), c.status) << c.what;
        EXPECT_EQ(testsupport::exists(target), c.written) << c.what;
        if (c.written) {
            EXPECT_EQ(testsupport::readFile(target), sealtest::sampleXml()) << c.what;
        }
    }
}

TEST_F(Unseal, WrongPasswordInVerificationComesAfterTheContentIsWritten) {
    TempDir out;
    testsupport::writeFile(out / "doc.xml", "sealed");
    EXPECT_EQ(verify(out / "doc.xml", *docs / "hong.sig", shared() / "npkiconf.ini", "nope"),
              70018);
    EXPECT_EQ(testsupport::readFile(out / "doc.xml"), sealtest::sampleXml());
}

TEST_F(Unseal, EarlyFailuresLeaveAnEarlierOutputUntouched) {
    TempDir out;
    testsupport::writeFile(out / "sig.dec", "earlier");
    EXPECT_EQ(decrypt(out / "sig.dec", *docs / "hong.env", shared() / "users/hong/SignPri.key",
                      "wrong"),
              70018);
    EXPECT_EQ(decrypt(out / "sig.dec", *docs / "kim.env", shared() / "users/hong/SignPri.key"),
              70806);
    EXPECT_EQ(testsupport::readFile(out / "sig.dec"), "earlier");
    testsupport::writeFile(out / "doc.xml", "sealed");
    EXPECT_EQ(verify(out / "doc.xml", *docs / "badsig.sig"), 71212);
    EXPECT_EQ(testsupport::readFile(out / "doc.xml"), "sealed");
    // A call after failures behaves like a first call.
    EXPECT_EQ(decrypt(out / "sig.dec", *docs / "hong.env", shared() / "users/hong/SignPri.key"),
              0);
    EXPECT_EQ(testsupport::readFile(out / "sig.dec"), testsupport::readFile(*docs / "hong.sig"));
}

TEST_F(Unseal, ManyCallsInARowLeaveNothingBehind) {
    auto& s = shared();
    TempDir out;
    char subject[1000];
    char issuer[1000];
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(decrypt(out / "sig.dec", *docs / "hong.env", s / "users/hong/SignPri.key"), 0);
        ASSERT_EQ(verify(out / "doc.xml", out / "sig.dec"), 0);
        ASSERT_EQ(decrypt(out / "x", *docs / "kim.env", s / "users/hong/SignPri.key"), 70806);
        ASSERT_EQ(verify(out / "y", *docs / "badsig.sig"), 71212);
        ASSERT_EQ(s.lib.getCertInfo2(subject, issuer, (s / "users/kim/SignCert.der").c_str(), 1000),
                  0);
        ASSERT_EQ(s.lib.getCertInfo2(subject, issuer, (s / "users/kim/SignPri.key").c_str(), 1000),
                  70009);
    }
}

TEST(CertInfo, NamesAndSerialNumbers) {
    auto& s = shared();
    char subject[1000];
    char issuer[1000];
    ASSERT_EQ(s.lib.getCertInfo2(subject, issuer, (s / "users/hong/SignCert.der").c_str(), 1000),
              0);
    EXPECT_STREQ(subject, "cn=홍길동()0001234567890123,ou=TESTBANK,ou=personal4IB,o=yessign,c=kr");
    EXPECT_STREQ(issuer, "cn=yessignCA Class 2,ou=AccreditedCA,o=yessign,c=kr");
    ASSERT_EQ(s.lib.getCertInfo(subject, issuer, (s / "users/hong/SignPri.key").c_str(),
                                (s / "users/hong/SignCert.der").c_str(), 1000, kPassword),
              0);
    EXPECT_STREQ(subject, "100");
    EXPECT_STREQ(issuer, "cn=yessignCA Class 2,ou=AccreditedCA,o=yessign,c=kr");
}

TEST(CertInfo, FailuresLeaveTheBuffersUnwritten) {
    auto& s = shared();
    struct {
        const char* what;
        int32_t status;
        std::function<int32_t(char*, char*)> call;
    } cases[] = {
        {"getCertInfo2 on a key file", 70009,
         [&](char* a, char* b) {
             return s.lib.getCertInfo2(a, b, (s / "users/hong/SignPri.key").c_str(), 100);
         }},
        {"getCertInfo2 on no file", 70019,
         [&](char* a, char* b) { return s.lib.getCertInfo2(a, b, (s / "none.der").c_str(), 100); }},
        {"getCertInfo with a wrong password", 70018,
         [&](char* a, char* b) {
             return s.lib.getCertInfo(a, b, (s / "users/hong/SignPri.key").c_str(),
                                      (s / "users/hong/SignCert.der").c_str(), 100, "wrong");
         }},
        {"getCertInfo with another user's key", 79007,
         [&](char* a, char* b) {
             return s.lib.getCertInfo(a, b, (s / "users/kim/SignPri.key").c_str(),
                                      (s / "users/hong/SignCert.der").c_str(), 100, kPassword);
         }},
    };
    for (const auto& c : cases) {
        char a[100];
        char b[100];
        std::memset(a, 'X', sizeof a);
        std::memset(b, 'X', sizeof b);
        EXPECT_EQ(c.call(a, b), c.status) << c.what;
        EXPECT_EQ(std::string(a, sizeof a), std::string(sizeof a, 'X')) << c.what;
        EXPECT_EQ(std::string(b, sizeof b), std::string(sizeof b, 'X')) << c.what;
    }
}

TEST(Making, RefusedInputsWriteNothing) {
    auto& s = shared();
    TempDir out;
    testsupport::writeFile(out / "doc.xml", sealtest::sampleXml());
    // A key that does not belong to the certificate.
    EXPECT_EQ(s.lib.makeSig_File((out / "s").c_str(), (out / "doc.xml").c_str(),
                                 (s / "users/kim/SignPri.key").c_str(),
                                 (s / "users/hong/SignCert.der").c_str(), kPassword),
              79007);
    EXPECT_FALSE(testsupport::exists(out / "s"));
    // A recipient outside the sender's hierarchy, and one that has expired.
    time_t now = std::time(nullptr);
    fixtures::Identity expired = fixtures::makeIdentity(
        {"cn=Expired,o=yessign,c=kr", false, 51, now - 86400 * 60, now - 86400 * 30},
        &s.world.ca);
    fixtures::writeCertDer(out / "expired.der", expired.cert);
    struct {
        std::string recipient;
        int32_t status;
    } cases[] = {{s / "class2/park_sig.cer", 70100},
                 {out / "expired.der", 70007},
                 {out / "none.der", 70019},
                 {s / "users/kim/SignPri.key", 70009}};
    for (const auto& c : cases) {
        EXPECT_EQ(s.lib.makeEnc_File((out / "e").c_str(), (out / "doc.xml").c_str(),
                                     (s / "users/hong/SignPri.key").c_str(),
                                     (s / "users/hong/SignCert.der").c_str(),
                                     c.recipient.c_str(), kPassword,
                                     (s / "npkiconf.ini").c_str()),
                  c.status)
            << c.recipient;
        EXPECT_FALSE(testsupport::exists(out / "e"));
    }
}
