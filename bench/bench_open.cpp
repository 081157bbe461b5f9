// Times `paperlens-cli open` of a receipt with a 5 MB XML member against
// `unzip -o` followed by `xsltproc` on the same archive.
//
//   bench_open [MEGABYTES]
#include "benchsupport.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
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

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::stoul(argv[1]) : 5;
    char pattern[] = "/tmp/paperlens-bench-open-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    bench::writeForm(dir, megabytes << 20);
    if (!run({"sh", "-c", "cd " + dir + " && zip -q form.rcp form.xml form.xsl"})) {
        std::fprintf(stderr, "bench_open: zip failed\n");
        return 1;
    }
    ::setenv("PAPERLENS_PREFIX", (dir + "/prefix").c_str(), 1);
    const std::string cli = PAPERLENS_CLI;
    const int runs = 5;
    std::vector<double> ours, reference;
    for (int i = 0; i < runs + 1; ++i) {
        double t0 = seconds();
        bool a = run({cli, "open", dir + "/form.rcp", "--out", dir + "/page.html"});
        double t1 = seconds();
        bool b = run({"unzip", "-o", "-q", dir + "/form.rcp", "-d", dir + "/ref"}) &&
                 run({"sh", "-c", "xsltproc " + dir + "/ref/form.xsl " + dir +
                                      "/ref/form.xml > " + dir + "/ref.html"});
        double t2 = seconds();
        if (!a || !b) {
            std::fprintf(stderr, "bench_open: a run failed\n");
            return 1;
        }
        if (i > 0) {  // the first run warms the page cache
            ours.push_back(t1 - t0);
            reference.push_back(t2 - t1);
        }
    }
    std::printf("paperlens-cli open against unzip -o + xsltproc, %zu MB XML member, median of %d\n",
                megabytes, runs);
    const double ratio = median(ours) / median(reference);
    std::printf("ours %.1f ms, reference %.1f ms, ratio %.3f (aim <= 0.8: %s)\n",
                median(ours) * 1e3, median(reference) * 1e3, ratio,
                ratio <= 0.8 ? "met" : "NOT met");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
