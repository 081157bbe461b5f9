// saveSmartCardKeyAndCertAsFile against the real pcscd, the vsmartcard
// reader driver and our virtual card.
#include "sealkit_binding.h"
#include "testsupport.h"
#include "virtualcard.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::PcscDaemon;
using testsupport::TempDir;
using testsupport::VirtualCard;

namespace {

const std::string kKey(1234, '\x5A');
const std::string kCertificate = std::string("\x30\x82\x03\x00", 4) + std::string(768, '\xC3');
constexpr const char* kPin = "2580";

testsupport::Sealkit& sealkit() {
    static testsupport::Sealkit* lib = new testsupport::Sealkit;
    return *lib;
}

int32_t save(const std::string& folder, const char* pin) {
    return static_cast<int32_t>(sealkit().saveSmartCardKeyAndCertAsFile(folder.c_str(), pin));
}

int modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// pcscd with a card inserted, or the reason the test is skipped.
struct CardReader {
    PcscDaemon daemon;
    VirtualCard card;
    explicit CardReader(std::map<uint16_t, std::string> files)
        : card(std::move(files), kPin) {}
    bool up() {
        return daemon.failure().empty() && card.insert(PcscDaemon::kPort) &&
               testsupport::waitForCard(20);
    }
};

}  // namespace

TEST(SmartCard, WithoutThePcscServiceThereIsNoReader) {
    TempDir dir;
    EXPECT_EQ(save(dir.path(), kPin), -1);
    EXPECT_FALSE(testsupport::exists(dir / "SignPri.key"));
    EXPECT_FALSE(testsupport::exists(dir / "SignCert.der"));
}

TEST(SmartCard, WithTheServiceButNoCardThereIsNoReader) {
    PcscDaemon daemon;
    PAPERLENS_REQUIRE_PCSCD(daemon);
    TempDir dir;
    EXPECT_EQ(save(dir.path(), kPin), -1);
}

TEST(SmartCard, ExportsExactlyTheCardsBytesAndReplacesEarlierFiles) {
    CardReader reader({{0xF303, kKey}, {0xF304, kCertificate}});
    PAPERLENS_REQUIRE_PCSCD(reader.daemon);
    ASSERT_TRUE(reader.up());
    TempDir dir;
    testsupport::writeFile(dir / "SignPri.key", std::string(5000, 'x'));
    for (const std::string& folder : {dir.path(), dir.path() + "/"}) {
        SCOPED_TRACE(folder);
        ASSERT_EQ(save(folder, kPin), 0);
        EXPECT_TRUE(testsupport::readFile(dir / "SignPri.key") == kKey);
        EXPECT_TRUE(testsupport::readFile(dir / "SignCert.der") == kCertificate);
        EXPECT_EQ(modeOf(dir / "SignPri.key"), 0600);
        EXPECT_FALSE(testsupport::exists(dir.path() + "//SignPri.key.tmp"));
    }
    EXPECT_EQ(reader.card.selected(), (std::vector<uint16_t>{0xF303, 0xF304, 0xF303, 0xF304}));

    // Failures leave the earlier files as they were.
    struct Case {
        const char* what;
        const char* pin;
        int32_t result;
        std::vector<uint16_t> selected;  // by this call
    } cases[] = {
        {"wrong PIN", "1111", -2, {0xF303}},
        {"PIN over 19 bytes", "12345678901234567890", -2, {}},
        {"empty PIN", "", -2, {0xF303}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = reader.card.selected().size();
        EXPECT_EQ(save(dir.path(), c.pin), c.result);
        const std::vector<uint16_t> all = reader.card.selected();
        EXPECT_EQ(std::vector<uint16_t>(all.begin() + static_cast<long>(before), all.end()),
                  c.selected);
        EXPECT_TRUE(testsupport::readFile(dir / "SignPri.key") == kKey);
        EXPECT_TRUE(testsupport::readFile(dir / "SignCert.der") == kCertificate);
    }
    // A folder that does not exist: the files cannot be written.
    EXPECT_EQ(save(dir / "missing", kPin), 70020);
    // The card taken out: no reader holds one.
    reader.card.remove();
    for (int i = 0; i < 50 && save(dir.path(), kPin) != static_cast<int32_t>(-1); ++i) {
        ::usleep(100000);
    }
    EXPECT_EQ(save(dir.path(), kPin), -1);
    EXPECT_TRUE(testsupport::readFile(dir / "SignPri.key") == kKey);
}

TEST(SmartCard, MissingOrOversizedCardFilesFail) {
    struct Case {
        const char* what;
        std::map<uint16_t, std::string> files;
        int32_t result;
    } cases[] = {
        {"no certificate file", {{0xF303, kKey}}, -3},
        {"no key file", {{0xF304, kCertificate}}, -2},
        {"key over 2000 bytes", {{0xF303, std::string(2001, 'k')}, {0xF304, kCertificate}}, -2},
        {"certificate of 4000 bytes", {{0xF303, kKey}, {0xF304, std::string(4000, 'c')}}, 0},
        {"certificate over 4000 bytes", {{0xF303, kKey}, {0xF304, std::string(4001, 'c')}}, -3},
        {"key a multiple of the chunk", {{0xF303, std::string(480, 'k')}, {0xF304, kCertificate}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CardReader reader(c.files);
        PAPERLENS_REQUIRE_PCSCD(reader.daemon);
        ASSERT_TRUE(reader.up());
        TempDir dir;
        EXPECT_EQ(save(dir.path(), kPin), c.result);
        EXPECT_EQ(testsupport::exists(dir / "SignPri.key"), c.result == 0);
        if (c.result == 0) {
            EXPECT_TRUE(testsupport::readFile(dir / "SignPri.key") == c.files.at(0xF303));
            EXPECT_TRUE(testsupport::readFile(dir / "SignCert.der") == c.files.at(0xF304));
        }
    }
}
