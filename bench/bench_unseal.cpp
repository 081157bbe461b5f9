// Times decypt_File + verifySig_File in-process against `openssl cms
// -decrypt` followed by `openssl cms -verify` on the same sealed documents,
// and reports peak memory for both.
//
//   bench_unseal [SIZE...]     sizes such as 1K 1M 20M (the default set)
#include "benchsupport.h"
#include "fixtures.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>


namespace {

using bench::median;
using bench::runTool;
using bench::seconds;

constexpr const char* kPassword = "1234qwer!";

using Decrypt = int32_t (*)(const char*, const char*, const char*, const char*);
using Verify = int32_t (*)(const char*, const char*, const char*, const char*, const char*,
                           const char*);
using MakeSig = int32_t (*)(const char*, const char*, const char*, const char*, const char*);
using MakeEnc = int32_t (*)(const char*, const char*, const char*, const char*, const char*,
                            const char*, const char*);

struct Library {
    void* handle = ::dlopen(SEALKIT_LIBRARY, RTLD_NOW);
    template <typename F>
    F get(const char* name) {
        void* symbol = handle ? ::dlsym(handle, name) : nullptr;
        if (symbol == nullptr) {
            std::fprintf(stderr, "bench_unseal: cannot bind %s\n", name);
            std::exit(1);
        }
        return reinterpret_cast<F>(symbol);
    }
};

size_t parseSize(const std::string& text) {
    size_t n = std::stoul(text);
    char unit = text.empty() ? ' ' : static_cast<char>(std::toupper(text.back()));
    return unit == 'K' ? n << 10 : unit == 'M' ? n << 20 : n;
}

std::string label(size_t bytes) {
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MB"
                               : std::to_string(bytes >> 10) + " KB";
}

// A form of about `bytes` bytes: Korean text, mixed line ends.
std::string makeXml(size_t bytes) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<form>\n";
    const std::string row = "  <row><name>홍길동</name><addr>서울특별시 종로구 세종대로 209</addr></row>\r\n";
    while (xml.size() + row.size() + 8 < bytes) {
        xml += row;
    }
    xml += "</form>\n";
    return xml;
}

long kilobytesOf(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return -1;
}

struct Paths {
    std::string world, env, sig, out, sigCli, outCli;
};

struct Result {
    double seconds;
    long peakKb;
};

// Peak memory of one unseal in a fresh process: this program run again in
// its --unseal-once mode, which reports how far its resident memory grew.
long peakOfOneUnseal(const Paths& p) {
    char exe[4096];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        return -1;
    }
    exe[n] = '\0';
    std::string report = p.world + "/peak.txt";
    std::vector<std::string> argv = {exe, "--unseal-once", p.world, p.env, report};
    if (runTool(argv) < 0) {
        return -1;
    }
    return std::atol(fixtures::readFile(report).c_str());
}

int unsealOnce(const std::string& world, const std::string& env, const std::string& report) {
    Library lib;
    auto decrypt = lib.get<Decrypt>("decypt_File");
    auto verify = lib.get<Verify>("verifySig_File");
    std::string key = world + "/users/hong/SignPri.key";
    std::string cert = world + "/users/hong/SignCert.der";
    std::string conf = world + "/npkiconf.ini";
    std::string sig = world + "/once.sig";
    std::string out = world + "/once.xml";
    // The library's one-time set-up (providers) is not the document's.
    using CertInfo2 = int32_t (*)(char*, char*, const char*, int32_t);
    char a[1000];
    char b[1000];
    (void)lib.get<CertInfo2>("getCertInfo2")(a, b, cert.c_str(), 1000);
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = kilobytesOf("VmRSS:");
    bool ok = decrypt(sig.c_str(), env.c_str(), key.c_str(), kPassword) == 0 &&
              verify(out.c_str(), sig.c_str(), key.c_str(), cert.c_str(), kPassword,
                     conf.c_str()) == 0;
    long grown = kilobytesOf("VmHWM:") - before;
    fixtures::writeFile(report, std::to_string(grown));
    return ok ? 0 : 1;
}

Result timeOurs(Library& lib, const Paths& p, int runs) {
    auto decrypt = lib.get<Decrypt>("decypt_File");
    auto verify = lib.get<Verify>("verifySig_File");
    std::string key = p.world + "/users/hong/SignPri.key";
    std::string cert = p.world + "/users/hong/SignCert.der";
    std::string conf = p.world + "/npkiconf.ini";
    auto once = [&] {
        return decrypt(p.sig.c_str(), p.env.c_str(), key.c_str(), kPassword) == 0 &&
               verify(p.out.c_str(), p.sig.c_str(), key.c_str(), cert.c_str(), kPassword,
                      conf.c_str()) == 0;
    };
    once();  // warm the page cache and the library's provider set-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double t0 = seconds();
        if (!once()) {
            std::fprintf(stderr, "bench_unseal: the library failed to unseal\n");
            std::exit(1);
        }
        times.push_back(seconds() - t0);
    }
    return {median(times), peakOfOneUnseal(p)};
}

Result timeCli(const Paths& p, int runs) {
    std::vector<std::string> decrypt = {"openssl", "cms", "-decrypt", "-binary", "-inform", "DER",
                                        "-in", p.env, "-inkey", p.world + "/bench/hong.pem",
                                        "-out", p.sigCli, "-provider", "legacy", "-provider",
                                        "default"};
    std::vector<std::string> verify = {"openssl", "cms", "-verify", "-binary", "-inform", "DER",
                                       "-in", p.sigCli, "-CAfile", p.world + "/bench/chain.pem",
                                       "-out", p.outCli};
    runTool(decrypt);
    runTool(verify);
    std::vector<double> times;
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        double t0 = seconds();
        long a = runTool(decrypt);
        long b = runTool(verify);
        times.push_back(seconds() - t0);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench_unseal: openssl cms failed\n");
            std::exit(1);
        }
        peak = std::max({peak, a, b});
    }
    return {median(times), peak};
}

bool sameFile(const std::string& a, const std::string& b) {
    return fixtures::readFile(a) == fixtures::readFile(b);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--unseal-once") {
        return unsealOnce(argv[2], argv[3], argv[4]);
    }
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        sizes.push_back(parseSize(argv[i]));
    }
    if (sizes.empty()) {
        sizes = {1u << 10, 1u << 20, 20u << 20};
    }
    char pattern[] = "/tmp/paperlens-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    std::string dir = pattern;
    Library lib;
    auto makeSig = lib.get<MakeSig>("makeSig_File");
    auto makeEnc = lib.get<MakeEnc>("makeEnc_File");
    fixtures::World world = fixtures::writeWorld(dir, kPassword);
    fixtures::writeKey(dir + "/bench/hong.pem", world.hong.sign.key, "",
                       fixtures::KeyScheme::PemPkcs8);
    fixtures::writeCertPem(dir + "/bench/root.pem", world.root.cert);
    fixtures::writeCertPem(dir + "/bench/hong.crt", world.hong.sign.cert);
    fixtures::writeCertPem(dir + "/bench/ca.pem", world.agencyCa.cert);
    fixtures::writeFile(dir + "/bench/chain.pem", fixtures::readFile(dir + "/bench/root.pem") +
                                                      fixtures::readFile(dir + "/bench/ca.pem"));

    std::printf("decypt_File + verifySig_File against openssl cms -decrypt + -verify "
                "(RSA-2048, SHA-256; median of runs)\n");
    std::printf("%-7s %-8s %5s %11s %11s %7s %14s %14s\n", "size", "content", "runs", "ours ms",
                "cli ms", "ratio", "ours peak", "cli peak");
    for (size_t size : sizes) {
        std::string xml = makeXml(size);
        Paths p{dir, dir + "/doc.env", dir + "/sig.dec", dir + "/out.xml", dir + "/sig.cli",
                dir + "/out.cli"};
        fixtures::writeFile(dir + "/doc.xml", xml);
        std::string signerKey = dir + "/issuer/signer.key";
        std::string signerCert = dir + "/issuer/signer.der";
        std::string userKey = dir + "/users/hong/SignPri.key";
        std::string userCert = dir + "/users/hong/SignCert.der";
        std::string conf = dir + "/npkiconf.ini";
        if (makeSig((dir + "/doc.sig").c_str(), (dir + "/doc.xml").c_str(), signerKey.c_str(),
                    signerCert.c_str(), "") != 0) {
            std::fprintf(stderr, "bench_unseal: cannot sign the document\n");
            return 1;
        }
        // The envelope as the service makes it (SEED-CBC), and with AES-256
        // content as openssl makes it.
        struct Content {
            const char* name;
            bool seed;
        } contents[] = {{"SEED", true}, {"AES-256", false}};
        for (const Content& content : contents) {
            const bool sealed =
                content.seed
                    ? makeEnc(p.env.c_str(), (dir + "/doc.sig").c_str(), userKey.c_str(),
                              userCert.c_str(), userCert.c_str(), kPassword, conf.c_str()) == 0
                    : runTool({"openssl", "cms", "-encrypt", "-aes256", "-binary", "-outform",
                               "DER", "-in", dir + "/doc.sig", "-out", p.env,
                               dir + "/bench/hong.crt"}) >= 0;
            if (!sealed) {
                std::fprintf(stderr, "bench_unseal: cannot seal the document\n");
                return 1;
            }
            int runs = size <= (64u << 10) ? 30 : size <= (4u << 20) ? 10 : 3;
            Result ours = timeOurs(lib, p, runs);
            Result cli = timeCli(p, runs);
            if (!sameFile(p.out, dir + "/doc.xml") || !sameFile(p.outCli, dir + "/doc.xml")) {
                std::fprintf(stderr, "bench_unseal: the unsealed content differs\n");
                return 1;
            }
            double mb = static_cast<double>(xml.size()) / (1 << 20);
            const double ratio = ours.seconds / cli.seconds;
            std::printf("%-7s %-8s %5d %11.2f %11.2f %7.3f %8.1f MB %4.1fx %8.1f MB%s\n",
                        label(size).c_str(), content.name, runs, ours.seconds * 1e3,
                        cli.seconds * 1e3, ratio, ours.peakKb / 1024.0,
                        ours.peakKb / 1024.0 / mb, cli.peakKb / 1024.0,
                        size >= (20u << 20) ? (ratio <= 0.8 ? "  (aim <= 0.8: met)"
                                                            : "  (aim <= 0.8: NOT met)")
                                            : "");
        }
    }
    std::printf("peak: growth of resident memory during one unseal (ours, with its multiple of "
                "the document size); largest resident size of either openssl run (cli)\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
