// A smart card for tests: a virtual card that speaks vpcd's protocol to
// the vsmartcard reader driver, and a pcscd of the test's own.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// The card: files by identifier behind one PIN, answering the commands of
// cardlib/PROFILE.md. It connects to vpcd on 127.0.0.1 and serves it from
// a thread of its own until removed.
class VirtualCard {
public:
    VirtualCard(std::map<uint16_t, std::string> files, std::string pin);
    ~VirtualCard();
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;

    bool insert(int port);
    void remove();
    // The file identifiers selected so far, in order.
    std::vector<uint16_t> selected() const;

private:
    void serve();
    std::string answer(const std::string& apdu);

    std::map<uint16_t, std::string> files_;
    std::string pin_;
    int socket_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<uint16_t> selected_;
    uint16_t current_ = 0;
    bool verified_ = false;
};

// pcscd in the foreground with only the virtual reader configured,
// listening for the card on `port`; stopped by its PID.
class PcscDaemon {
public:
    static constexpr int kPort = 0x9D01;

    PcscDaemon();
    ~PcscDaemon();
    PcscDaemon(const PcscDaemon&) = delete;
    PcscDaemon& operator=(const PcscDaemon&) = delete;

    // Empty when it runs; otherwise why it could not start.
    const std::string& failure() const { return failure_; }
    // Set, with failure(), when another pcscd already runs: the only case
    // in which a test that needs the service is skipped.
    const std::string& busy() const { return busy_; }

private:
    std::string folder_;
    int pid_ = -1;
    std::string failure_;
    std::string busy_;
};

// Skips the test when another pcscd already runs, and fails it when ours
// cannot start.
#define PAPERLENS_REQUIRE_PCSCD(daemon)                                        \
    if (!(daemon).busy().empty()) {                                          \
        GTEST_SKIP() << "skipped: " << (daemon).busy();                      \
    }                                                                        \
    ASSERT_TRUE((daemon).failure().empty()) << (daemon).failure()

// Waits until a card is present in some reader (true) or `seconds` pass.
bool waitForCard(double seconds);

}  // namespace testsupport
