// Signed data: the signing time travels with the signature.
#include "fixtures.h"
#include "otrx.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using testsupport::TempDir;

TEST(SignedData, SigningTimeComesBackWithTheContent) {
    TempDir dir;
    fixtures::Identity id = fixtures::makeIdentity({"cn=Signer,o=Test,c=kr", false, 1, 0, 0, 1024},
                                                   nullptr);
    fixtures::writeCertDer(dir / "c.der", id.cert);
    fixtures::writeKey(dir / "k.key", id.key, "pw", fixtures::KeyScheme::SeedCbcWithSha1);
    testsupport::writeFile(dir / "in.xml", "<a>\r\n</a>\n");
    OTRX_PRIVATEKEY key{};
    OTRX_CERTIFICATE cert{};
    ASSERT_EQ(OTRX_PRIVATEKEY_Read_File(&key, (dir / "k.key").c_str(), "pw"), 0);
    ASSERT_EQ(OTRX_CERTIFICATE_Read_File(&cert, (dir / "c.der").c_str()), 0);
    // Past 2038 as well as before it.
    for (uint32_t when : {1700000000u, 4000000000u}) {
        ASSERT_EQ(OTRX_SG_MakeSignature_File((dir / "s.der").c_str(), (dir / "in.xml").c_str(),
                                             &key, &cert, when),
                  0);
        ASSERT_EQ(OTRX_SG_VerifySignature_File((dir / "s.der").c_str()), 0);
        uint32_t got = 0;
        ASSERT_EQ(OTRX_SG_GetOriginalMessage_File(&got, (dir / "out.xml").c_str(),
                                                  (dir / "s.der").c_str()),
                  0);
        EXPECT_EQ(got, when);
        EXPECT_EQ(testsupport::readFile(dir / "out.xml"), "<a>\r\n</a>\n");
    }
    std::string printed;
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-cmsout", "-print", "-inform", "DER", "-in",
                                dir / "s.der"},
                               {}, &printed),
              0);
    EXPECT_NE(printed.find("sha256"), std::string::npos);
    EXPECT_NE(printed.find("signingTime"), std::string::npos);
    EXPECT_EQ(OTRX_PE_Encrypt_File((dir / "e.der").c_str(), (dir / "in.xml").c_str(), &cert, 1),
              79006);
    EXPECT_FALSE(testsupport::exists(dir / "e.der"));
    EXPECT_EQ(OTRX_PRIVATEKEY_Delete(&key), 0);
    EXPECT_EQ(OTRX_CERTIFICATE_Delete(&cert), 0);
}
