// Interoperation with a real peer, both ways: what the reference CMS tool
// seals the library opens, and what the library seals the tool opens.
#include "world.h"

#include <gtest/gtest.h>

using sealtest::kPassword;
using sealtest::shared;
using testsupport::TempDir;

namespace {

const std::vector<std::string> kProviders = {"-provider", "legacy", "-provider", "default"};

std::vector<std::string> with(std::vector<std::string> argv,
                              const std::vector<std::string>& more) {
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

}  // namespace

class FromOpenssl : public testing::TestWithParam<const char*> {};

TEST_P(FromOpenssl, OpensAndVerifies) {
    auto& s = shared();
    TempDir dir;
    testsupport::writeFile(dir / "doc.xml", sealtest::sampleXml());
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-sign", "-binary", "-nodetach", "-md", "sha256",
                                "-signer", s / "pem/signer.pem", "-inkey",
                                s / "issuer/signer.key", "-in", dir / "doc.xml", "-outform",
                                "DER", "-out", dir / "signed.der"}),
              0);
    // Recipient certificates come after every option.
    ASSERT_EQ(testsupport::run(with(with({"openssl", "cms", "-encrypt", "-binary",
                                          std::string("-") + GetParam(), "-in",
                                          dir / "signed.der", "-outform", "DER", "-out",
                                          dir / "env.der"},
                                         kProviders),
                                    {s / "pem/hong.pem"})),
              0);
    ASSERT_EQ(s.lib.decypt_File((dir / "sig.dec").c_str(), (dir / "env.der").c_str(),
                                (s / "users/hong/SignPri.key").c_str(), kPassword),
              0);
    ASSERT_EQ(s.lib.verifySig_File((dir / "out.xml").c_str(), (dir / "sig.dec").c_str(),
                                   (s / "users/hong/SignPri.key").c_str(),
                                   (s / "users/hong/SignCert.der").c_str(), kPassword,
                                   (s / "npkiconf.ini").c_str()),
              0);
    EXPECT_EQ(testsupport::readFile(dir / "out.xml"), sealtest::sampleXml());
}

INSTANTIATE_TEST_SUITE_P(ContentCiphers, FromOpenssl,
                         testing::Values("aes256", "aes128", "seed", "des3"));

TEST(ToOpenssl, DecryptsAndVerifiesWhatTheLibrarySeals) {
    auto& s = shared();
    TempDir dir;
    ASSERT_EQ(sealtest::seal(sealtest::sampleXml(), s / "users/hong/SignCert.der", dir / "env.der"),
              0);
    std::string printed;
    ASSERT_EQ(testsupport::run(with({"openssl", "cms", "-cmsout", "-print", "-inform", "DER",
                                     "-in", dir / "env.der"},
                                    kProviders),
                               {}, &printed),
              0);
    EXPECT_NE(printed.find("seed-cbc"), std::string::npos);
    ASSERT_EQ(testsupport::run(with({"openssl", "cms", "-decrypt", "-binary", "-inform", "DER",
                                     "-in", dir / "env.der", "-inkey", s / "pem/hong.key",
                                     "-out", dir / "signed.der"},
                                    kProviders)),
              0);
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in",
                                dir / "signed.der", "-CAfile", s / "pem/chain.pem", "-out", dir / "out.xml"}),
              0);
    EXPECT_EQ(testsupport::readFile(dir / "out.xml"), sealtest::sampleXml());
}
