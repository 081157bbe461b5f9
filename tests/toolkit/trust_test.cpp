// Path validation under trust configuration files.
#include "fixtures.h"
#include "otrx.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>

using testsupport::TempDir;

namespace {

struct Cert {
    OTRX_CERTIFICATE cert{};
    Cert() { EXPECT_EQ(OTRX_CERTIFICATE_Create(&cert), 0); }
    ~Cert() { EXPECT_EQ(OTRX_CERTIFICATE_Delete(&cert), 0); }
    explicit Cert(const std::string& path) : Cert() {
        EXPECT_EQ(OTRX_CERTIFICATE_Read_File(&cert, path.c_str()), 0) << path;
    }
};

std::string subjectOf(const Cert& c) {
    char name[500] = "";
    EXPECT_EQ(OTRX_CERTIFICATE_GetSubjectName(name, sizeof name, &c.cert), 0);
    return name;
}

// root -> ca -> user, plus a second root with its own user, an expired user
// under ca and a user issued by a certificate without the CA flag.
class Trust : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        using fixtures::makeIdentity;
        fixtures::Identity root = makeIdentity({"cn=Root A,o=Test,c=kr", true, 1, 0, 0, 1024}, nullptr);
        fixtures::Identity ca = makeIdentity({"cn=CA A,o=Test,c=kr", true, 2, 0, 0, 1024}, &root);
        fixtures::Identity other = makeIdentity({"cn=Root B,o=Test,c=kr", true, 1, 0, 0, 1024}, nullptr);
        fixtures::Identity notCa = makeIdentity({"cn=Not a CA,o=Test,c=kr", false, 3, 0, 0, 1024}, &root);
        time_t now = std::time(nullptr);
        fixtures::writeCertDer(*dir / "roots/a.der", root.cert);
        fixtures::writeCertPem(*dir / "roots/b.pem", other.cert);
        fixtures::writeCertDer(*dir / "cas/ca.cer", ca.cert);
        fixtures::writeCertDer(*dir / "cas/notca.crt", notCa.cert);
        fixtures::writeFile(*dir / "cas/readme.txt", "not a certificate");
        fixtures::writeCertDer(*dir / "user.der",
                               makeIdentity({"cn=User,o=Test,c=kr", false, 10, 0, 0, 1024}, &ca).cert);
        fixtures::writeCertDer(*dir / "expired.der",
                               makeIdentity({"cn=Expired,o=Test,c=kr", false, 11, now - 86400 * 60,
                                             now - 86400 * 30, 1024},
                                            &ca).cert);
        fixtures::writeCertDer(*dir / "other.der",
                               makeIdentity({"cn=Other,o=Test,c=kr", false, 12, 0, 0, 1024}, &other).cert);
        fixtures::writeCertDer(*dir / "bynotca.der",
                               makeIdentity({"cn=Under not a CA,o=Test,c=kr", false, 13, 0, 0, 1024},
                                            &notCa).cert);
        fixtures::writeTrustConfig(*dir / "files.ini", {"roots/a.der", "roots/b.pem"},
                                   {"cas/ca.cer", "cas/notca.crt"}, true);
        fixtures::writeTrustConfig(*dir / "folders.ini", {"roots/"}, {"cas"}, true);
        fixtures::writeTrustConfig(*dir / "notime.ini", {"roots/"}, {"cas/"}, false);
        fixtures::writeTrustConfig(*dir / "onlyb.ini", {"roots/b.pem"}, {"cas/"}, true);
        fixtures::writeTrustConfig(*dir / "missing.ini", {"roots/none.der"}, {}, true);
        // A fresh installation: the roots' folder is there and empty.
        fixtures::makeFolders(*dir / "noroots");
        fixtures::writeTrustConfig(*dir / "empty.ini", {"noroots"}, {"cas"}, true);
        fixtures::writeFile(*dir / "badpolicy.ini",
                            "[trust]\ntop = roots/\n[signers]\npolicy = not an oid\n");
        fixtures::writeTrustConfig(*dir / "bad.ini", {"cas/readme.txt"}, {}, true);
        fixtures::writeFile(*dir / "syntax.ini", "[trust\ntop = roots/a.der\n");
        fixtures::writeFile(*dir / "badswitch.ini", "[validation]\ncheck_time = sometimes\n");
    }
    static void TearDownTestSuite() { delete dir; }
    static TempDir* dir;
};

TempDir* Trust::dir = nullptr;

int32_t topOf(const std::string& certPath, const std::string& conf, std::string* subject) {
    Cert own(certPath);
    Cert top;
    int32_t status = OTRX_USR_GetTopCert(&top.cert, &own.cert, conf.c_str());
    if (status == 0 && subject != nullptr) {
        *subject = subjectOf(top);
    }
    return status;
}

int32_t verify(const std::string& certPath, const std::string& ownPath, const std::string& conf) {
    Cert own(ownPath);
    Cert top;
    int32_t status = OTRX_USR_GetTopCert(&top.cert, &own.cert, conf.c_str());
    if (status != 0) {
        return status;
    }
    Cert cert(certPath);
    OTRX_PRIVATEKEY key{};
    return OTRX_USR_SimpleVerifyCertificate(&cert.cert, &top.cert, &own.cert, &key, conf.c_str());
}

}  // namespace

TEST_F(Trust, TopCertificateIsFoundThroughTheIntermediates) {
    struct {
        std::string cert, conf, top;
    } cases[] = {
        {"user.der", "files.ini", "cn=Root A,o=Test,c=kr"},
        {"user.der", "folders.ini", "cn=Root A,o=Test,c=kr"},
        {"other.der", "folders.ini", "cn=Root B,o=Test,c=kr"},
        {"roots/a.der", "files.ini", "cn=Root A,o=Test,c=kr"},
    };
    for (const auto& c : cases) {
        std::string top;
        EXPECT_EQ(topOf(*dir / c.cert, *dir / c.conf, &top), 0) << c.cert << " " << c.conf;
        EXPECT_EQ(top, c.top) << c.cert << " " << c.conf;
    }
}

TEST_F(Trust, RelativePathsAreTakenFromTheConfigurationsFolder) {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir("/"), 0);
    std::string top;
    int32_t status = topOf(*dir / "user.der", *dir / "folders.ini", &top);
    ASSERT_EQ(::chdir(cwd), 0);
    EXPECT_EQ(status, 0);
}

TEST_F(Trust, ConfigurationFailuresAreStatuses) {
    struct {
        std::string cert, conf;
        int32_t status;
    } cases[] = {
        {"user.der", "absent.ini", 70019},     {"user.der", "", 70019},
        {"user.der", "missing.ini", 70101},    {"user.der", "empty.ini", 70101},
        {"user.der", "badpolicy.ini", 70019},  {"user.der", "bad.ini", 70009},
        {"user.der", "syntax.ini", 70019},     {"user.der", "badswitch.ini", 70019},
        {"user.der", "onlyb.ini", 70100},      {"bynotca.der", "folders.ini", 70100},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(topOf(*dir / c.cert, c.conf.empty() ? "" : *dir / c.conf, nullptr), c.status)
            << c.cert << " " << c.conf;
    }
}

TEST_F(Trust, ValidationChecksSignaturesTimesAndCaFlags) {
    struct {
        std::string cert, own, conf;
        int32_t status;
    } cases[] = {
        {"user.der", "user.der", "folders.ini", 0},
        {"expired.der", "user.der", "folders.ini", 70007},
        {"expired.der", "user.der", "notime.ini", 0},
        {"other.der", "user.der", "folders.ini", 70100},
        {"user.der", "other.der", "folders.ini", 70100},
        {"bynotca.der", "user.der", "folders.ini", 70100},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verify(*dir / c.cert, *dir / c.own, *dir / c.conf), c.status)
            << c.cert << " own " << c.own << " " << c.conf;
    }
}

// Certificates read before are remembered by their bytes: a root replaced
// in its file between two validations in one process is the new root.
TEST_F(Trust, ACertificateReplacedInItsFileIsReadAnew) {
    TempDir own;
    fixtures::makeFolders(own / "roots");
    fixtures::writeFile(own / "roots/root.der", testsupport::readFile(*dir / "roots/a.der"));
    fixtures::writeTrustConfig(own / "trust.ini", {"roots/root.der"}, {*dir / "cas/ca.cer"}, true);
    std::string top;
    ASSERT_EQ(topOf(*dir / "user.der", own / "trust.ini", &top), 0);
    EXPECT_EQ(top, "cn=Root A,o=Test,c=kr");
    ASSERT_EQ(topOf(*dir / "other.der", own / "trust.ini", nullptr), 70100);
    // Another certificate under the same name: it is the top now.
    fixtures::writeFile(own / "roots/root.der", testsupport::readFile(*dir / "other.der"));
    EXPECT_EQ(topOf(*dir / "user.der", own / "trust.ini", nullptr), 70100);
    EXPECT_EQ(topOf(*dir / "other.der", own / "trust.ini", &top), 0);
    EXPECT_EQ(top, "cn=Other,o=Test,c=kr");
}
