// Without OpenSSL's legacy provider SEED is missing: SEED key files fail
// with a status of their own, and what needs no SEED still works. This
// program hides the provider modules before the library first loads them.
#include "sealkit_binding.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(WithoutLegacyProvider, SeedKeysFailClearly) {
    ASSERT_EQ(::setenv("OPENSSL_MODULES", "/nonexistent", 1), 0);
    testsupport::Sealkit lib;
    std::string password = testsupport::readFile(testsupport::realNpki("password.txt"));
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "env.der", "not read");
    EXPECT_EQ(lib.decypt_File((dir / "out").c_str(), (dir / "env.der").c_str(),
                              testsupport::realNpki("signPri.key").c_str(), password.c_str()),
              79002);
    EXPECT_EQ(lib.decypt_File((dir / "out").c_str(), (dir / "env.der").c_str(),
                              testsupport::realNpki("plainSignPri.der").c_str(), ""),
              70807);
    char subject[1000];
    char issuer[1000];
    EXPECT_EQ(lib.getCertInfo2(subject, issuer, testsupport::realNpki("signCert.der").c_str(),
                               1000),
              0);
}
