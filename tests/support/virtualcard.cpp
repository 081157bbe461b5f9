#include "virtualcard.h"

#include "cardlib.h"
#include "testsupport.h"

#include <winscard.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

extern char** environ;

namespace testsupport {

namespace {

// vpcd's control bytes.
constexpr unsigned char kPowerOff = 0;
constexpr unsigned char kPowerOn = 1;
constexpr unsigned char kReset = 2;
constexpr unsigned char kGetAtr = 4;
// A minimal T=1 answer to reset.
const std::string kAtr("\x3B\x80\x80\x01\x01", 5);
constexpr size_t kChunk = 0xF0;
constexpr const char* kPidFile = "/run/pcscd/pcscd.pid";

bool readAll(int fd, unsigned char* into, size_t length) {
    while (length > 0) {
        const ssize_t n = ::recv(fd, into, length, 0);
        if (n <= 0) {
            return false;
        }
        into += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool sendMessage(int fd, const std::string& payload) {
    std::string message;
    message += static_cast<char>((payload.size() >> 8) & 0xFF);
    message += static_cast<char>(payload.size() & 0xFF);
    message += payload;
    return ::send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(message.size());
}

std::string status(unsigned word) {
    return std::string{static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
}

}  // namespace

VirtualCard::VirtualCard(std::map<uint16_t, std::string> files, std::string pin)
    : files_(std::move(files)), pin_(std::move(pin)) {}

VirtualCard::~VirtualCard() { remove(); }

bool VirtualCard::insert(int port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0) {
        return false;
    }
    // vpcd writes length and payload separately: without these every
    // command waits for the delayed acknowledgement.
    int on = 1;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(socket_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            thread_ = std::thread([this] { serve(); });
            return true;
        }
        ::usleep(100000);
    }
    ::close(socket_);
    socket_ = -1;
    return false;
}

void VirtualCard::remove() {
    stop_ = true;
    if (socket_ >= 0) {
        ::shutdown(socket_, SHUT_RDWR);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

std::vector<uint16_t> VirtualCard::selected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selected_;
}

void VirtualCard::serve() {
    while (!stop_) {
        unsigned char header[2];
        if (!readAll(socket_, header, 2)) {
            return;
        }
        std::string payload((static_cast<size_t>(header[0]) << 8) | header[1], '\0');
        if (!readAll(socket_, reinterpret_cast<unsigned char*>(&payload[0]), payload.size())) {
            return;
        }
        int quickAck = 1;
        ::setsockopt(socket_, IPPROTO_TCP, TCP_QUICKACK, &quickAck, sizeof quickAck);
        if (payload.size() == 1) {
            const auto control = static_cast<unsigned char>(payload[0]);
            if (control == kGetAtr && !sendMessage(socket_, kAtr)) {
                return;
            }
            if (control == kPowerOff || control == kPowerOn || control == kReset) {
                verified_ = false;
            }
            continue;
        }
        if (!sendMessage(socket_, answer(payload))) {
            return;
        }
    }
}

std::string VirtualCard::answer(const std::string& apdu) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(apdu[i]); };
    if (apdu.size() < 4) {
        return status(0x6700);
    }
    const unsigned char ins = byte(1);
    if (ins == 0xA4 && apdu.size() >= 7 && byte(4) == 2) {  // SELECT FILE
        const uint16_t id = static_cast<uint16_t>((byte(5) << 8) | byte(6));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            selected_.push_back(id);
        }
        if (files_.count(id) == 0) {
            return status(0x6A82);
        }
        current_ = id;
        return status(0x9000);
    }
    if (ins == 0x20 && apdu.size() >= 5) {  // VERIFY
        verified_ = apdu.substr(5, byte(4)) == pin_;
        return status(verified_ ? 0x9000 : 0x63C2);
    }
    if (ins == 0xB0 && apdu.size() >= 5) {  // READ BINARY
        if (!verified_) {
            return status(0x6982);
        }
        const auto found = files_.find(current_);
        if (found == files_.end()) {
            return status(0x6986);
        }
        const size_t offset = (static_cast<size_t>(byte(2)) << 8) | byte(3);
        const size_t wanted = byte(4) == 0 ? 256 : byte(4);
        if (offset >= found->second.size()) {
            return status(0x6B00);
        }
        const std::string data = found->second.substr(offset, std::min(wanted, kChunk));
        return data + status(data.size() < wanted ? 0x6282 : 0x9000);
    }
    return status(0x6D00);
}

PcscDaemon::PcscDaemon() {
    if (::geteuid() != 0) {
        failure_ = "pcscd needs root to make /run/pcscd";
        return;
    }
    // pcscd refuses to start while its pid file names a live process; a
    // file left behind may name a process that merely reuses the number.
    std::ifstream pidFile(kPidFile);
    int running = 0;
    if (pidFile >> running && running > 0) {
        std::string name;
        std::ifstream("/proc/" + std::to_string(running) + "/comm") >> name;
        if (name == "pcscd") {
            busy_ = "a pcscd is already running (pid " + std::to_string(running) + ")";
            failure_ = busy_;
            return;
        }
        ::unlink(kPidFile);
    }
    char pattern[] = "/tmp/paperlens-pcscd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        failure_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    ::mkdir((folder_ + "/reader.conf.d").c_str(), 0700);
    std::ofstream(folder_ + "/reader.conf.d/vpcd")
        << "FRIENDLYNAME \"Paperlens Test Reader\"\nDEVICENAME   /dev/null:0x"
        << std::hex << kPort << "\nLIBPATH      /usr/lib/pcsc/drivers/serial/libifdvpcd.so\n"
        << "CHANNELID    0x" << kPort << "\n";
    const std::string conf = folder_ + "/reader.conf.d";
    const std::string log = folder_ + "/pcscd.log";
    std::vector<std::string> args{"pcscd", "-f", "-a", "-c", conf};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "pcscd", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        failure_ = "pcscd cannot be started";
        return;
    }
    pid_ = pid;
    // Ready once its socket answers and lists the reader.
    for (int i = 0; i < 100; ++i) {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) == SCARD_S_SUCCESS) {
            DWORD size = 0;
            const bool listed = SCardListReaders(context, nullptr, nullptr, &size) == SCARD_S_SUCCESS;
            SCardReleaseContext(context);
            if (listed) {
                return;
            }
        }
        ::usleep(100000);
    }
    failure_ = "pcscd did not come up: " + readFile(log);
}

PcscDaemon::~PcscDaemon() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        ::unlink(kPidFile);
    }
    if (!folder_.empty()) {
        run({"rm", "-rf", folder_});
    }
}

bool waitForCard(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (sgsc_GetCurComPort() >= 0) {
            return true;
        }
        ::usleep(100000);
    }
    return false;
}

}  // namespace testsupport
