// Times `paperlens-cli open` of an issued document (sealed by
// `paperlens-cli seal`: SEED-CBC envelope, RSA-2048) against the shell
// pipeline unzip + openssl cms -decrypt + openssl cms -verify + xsltproc on
// the same file and certificate, at 100 KB and 20 MB of XML.
#include "benchsupport.h"
#include "fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::seconds;

bool run(const std::vector<std::string>& argv) { return bench::runTool(argv) >= 0; }
long peakKb = 0;          // the largest resident size of our runs of the current size
long referencePeakKb = 0;  // and of any of the reference's tools

}  // namespace

int main() {
    char pattern[] = "/tmp/paperlens-bench-issued-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    const std::string w = dir + "/world";
    const fixtures::World world = fixtures::writeWorld(w, "1234qwer!");
    fixtures::writeKey(dir + "/hong.key", world.hong.sign.key, "", fixtures::KeyScheme::PemPkcs8);
    fixtures::writeCertPem(dir + "/hong.pem", world.hong.sign.cert);
    fixtures::writeCertPem(dir + "/root.pem", world.root.cert);
    fixtures::writeCertPem(dir + "/ca.pem", world.agencyCa.cert);
    fixtures::writeFile(dir + "/trust.pem",
                        fixtures::readFile(dir + "/root.pem") + fixtures::readFile(dir + "/ca.pem"));
    fixtures::writeFile(dir + "/pw", "1234qwer!\n");
    const std::string prefix = dir + "/prefix";
    ::setenv("PAPERLENS_PREFIX", prefix.c_str(), 1);
    run({"sh", "-c", "mkdir -p " + prefix + "/workspace && cp -r " + w + "/pki " + w +
                         "/npkiconf.ini " + prefix + "/workspace/"});
    const std::string cli = PAPERLENS_CLI;
    std::printf("paperlens-cli open of an issued document against unzip + openssl cms -decrypt"
                " + openssl cms -verify + xsltproc\n");
    struct Size {
        const char* name;
        size_t bytes;
        double aim;
    } sizes[] = {{"100 KB", 100u << 10, 0.5}, {"20 MB", 20u << 20, 1.0}};
    for (const Size& size : sizes) {
        bench::writeForm(dir, size.bytes);
        if (!run({"sh", "-c",
                  "echo | " + cli + " seal --xml " + dir + "/form.xml --xsl " + dir +
                      "/form.xsl --signer-key " + w + "/issuer/signer.key --signer-cert " + w +
                      "/issuer/signer.der --recipient-cert " + w +
                      "/users/hong/SignCert.der --conf " + w + "/npkiconf.ini -o " + dir +
                      "/form.kvx"})) {
            std::fprintf(stderr, "bench_issued: seal failed\n");
            return 1;
        }
        const std::string reference =
            "set -e; cd " + dir + "; rm -rf ref; unzip -o -q form.kvx -d ref; "
            "openssl cms -decrypt -provider legacy -provider default -binary -inform DER "
            "-in ref/form.xml -inkey hong.key -recip hong.pem -out ref/signed.der; "
            "openssl cms -verify -binary -inform DER -in ref/signed.der -CAfile trust.pem "
            "-out ref/form.xml 2>/dev/null; xsltproc ref/form.xsl ref/form.xml > ref.html";
        const int runs = size.bytes > (1u << 20) ? 3 : 7;
        peakKb = 0;
        referencePeakKb = 0;
        std::vector<double> ours, theirs;
        for (int i = 0; i < runs + 1; ++i) {
            const double t0 = seconds();
            const long rss = bench::runTool({cli, "open", dir + "/form.kvx", "--cert",
                                             w + "/users/hong", "--password-file", dir + "/pw",
                                             "--out", dir + "/page.html"});
            const bool a = rss >= 0;
            peakKb = std::max(peakKb, rss);
            const double t1 = seconds();
            const long referenceRss = bench::runTool({"sh", "-c", reference});
            const bool b = referenceRss >= 0;
            referencePeakKb = std::max(referencePeakKb, referenceRss);
            const double t2 = seconds();
            if (!a || !b) {
                std::fprintf(stderr, "bench_issued: a run failed (ours %d, reference %d)\n", a, b);
                return 1;
            }
            if (i > 0) {  // the first run warms the page cache
                ours.push_back(t1 - t0);
                theirs.push_back(t2 - t1);
            }
        }
        const double ratio = median(ours) / median(theirs);
        std::printf("  %-6s ours %8.1f ms, reference %8.1f ms, ratio %.2f (aim <= %.1f: %s)\n",
                    size.name, median(ours) * 1e3, median(theirs) * 1e3, ratio, size.aim,
                    ratio <= size.aim ? "met" : "NOT met");
        if (size.bytes > (1u << 20)) {
            const double multiple = static_cast<double>(peakKb) * 1024 / size.bytes;
            std::printf("  %-6s peak resident memory %.1f MB, %.2f x the document (aim <= 4 x: %s);"
                        " reference's largest tool %.1f MB\n",
                        size.name, peakKb / 1024.0, multiple, multiple <= 4 ? "met" : "NOT met",
                        referencePeakKb / 1024.0);
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
