// paperlens-cli certs --location smartcard against pcscd and the virtual card.
#include "fixtures.h"
#include "testsupport.h"
#include "virtualcard.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(CliSmartCard, ReadsTheCardAndListsItsCertificate) {
    testsupport::PcscDaemon daemon;
    PAPERLENS_REQUIRE_PCSCD(daemon);
    testsupport::TempDir dir;
    const fixtures::World world = fixtures::writeWorld(dir / "world", "1234qwer!");
    const std::string kim = dir / "world/users/kim";
    testsupport::VirtualCard card({{0xF303, testsupport::readFile(kim + "/SignPri.key")},
                                   {0xF304, testsupport::readFile(kim + "/SignCert.der")}},
                                  "2580");
    ASSERT_TRUE(card.insert(testsupport::PcscDaemon::kPort));
    ASSERT_TRUE(testsupport::waitForCard(20));
    const std::string prefix = dir / "prefix";
    ::setenv("PAPERLENS_PREFIX", prefix.c_str(), 1);
    struct Case {
        const char* pin;
        int status;
        std::string output;
    } cases[] = {
        {"1111\n", 1, "스마트 카드 비밀번호가 틀렸습니다.\n"},
        {"\n", 1, "스마트 카드 비밀번호를 입력해주세요\n"},
        {"2580\n", 0, "김철수()0009876543210987\t금융결제원\t" + prefix + "/smartcard/SignCert.der\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(testsupport::run({PAPERLENS_CLI, "certs", "--location", "smartcard"}, c.pin,
                                   &output),
                  c.status)
            << c.pin;
        EXPECT_EQ(output, c.output);
    }
    EXPECT_TRUE(testsupport::readFile(prefix + "/smartcard/SignPri.key") ==
                testsupport::readFile(kim + "/SignPri.key"));
}
