// Many documents in one paperlens-cli run against one reference process
// chain per document, both two at a time:
//   - 200 receipts of 50 KB to HTML with --jobs 2, against unzip + xsltproc
//     per file under xargs -P 2 (aim: ratio <= 0.3);
//   - 50 receipts to PDF in one run, against one `paperlens-cli open --pdf`
//     per file under xargs -P 2 (aim: ratio <= 0.2).
//
//   bench_batch [HTML_COUNT PDF_COUNT]
#include "benchsupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::seconds;

bool run(const std::string& script) { return bench::runTool({"sh", "-c", script}) >= 0; }

// Seconds of the median of `runs` runs of a shell script.
double timed(const std::string& script, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t0 = seconds();
        if (!run(script)) {
            std::fprintf(stderr, "bench_batch: failed: %s\n", script.c_str());
            std::exit(1);
        }
        times.push_back(seconds() - t0);
    }
    return median(times);
}

void report(const char* what, double ours, double theirs, double aim) {
    const double ratio = ours / theirs;
    std::printf("  %-42s ours %8.1f ms, reference %8.1f ms, ratio %.2f (aim <= %.1f: %s)\n", what,
                ours * 1e3, theirs * 1e3, ratio, aim, ratio <= aim ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
    const int htmlCount = argc > 2 ? std::atoi(argv[1]) : 200;
    const int pdfCount = argc > 2 ? std::atoi(argv[2]) : 50;
    char pattern[] = "/tmp/paperlens-bench-batch-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    const std::string cli = PAPERLENS_CLI;
    ::setenv("PAPERLENS_PREFIX", (dir + "/prefix").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir + "/runtime").c_str(), 1);
    std::filesystem::create_directories(dir + "/runtime");
    std::filesystem::permissions(dir + "/runtime", std::filesystem::perms::owner_all);
    bench::writeForm(dir, 50u << 10);
    if (!run("cd " + dir + " && zip -q r.rcp form.xml form.xsl && mkdir -p in && for i in $(seq " +
             std::to_string(std::max(htmlCount, pdfCount)) +
             "); do cp r.rcp in/r$i.rcp; done")) {
        std::fprintf(stderr, "bench_batch: cannot make the receipts\n");
        return 1;
    }
    const std::string files = "ls " + dir + "/in/*.rcp | head -n ";
    std::printf("paperlens-cli open FILE... --out-dir against one process chain per file, "
                "both two at a time (HTML: median of 3; PDF: one run each)\n");

    // Each reference file gets its own folder (the archives' members would
    // collide in one), which unzip -d makes.
    const std::string htmlOurs = files + std::to_string(htmlCount) + " | xargs " + cli +
                                 " open --jobs 2 --out-dir " + dir + "/pages";
    const std::string htmlTheirs =
        files + std::to_string(htmlCount) + " | xargs -P 2 -I{} sh -c 'f=$1; b=${f##*/}; d=" +
        dir + "/ref/${b%.rcp}; unzip -o -q \"$f\" -d \"$d\" && "
        "xsltproc \"$d/form.xsl\" \"$d/form.xml\" > \"$d.html\"' sh {}";
    run("mkdir -p " + dir + "/ref");
    if (htmlCount > 0) {
        run(htmlOurs);  // warms the page cache
        const double ours = timed(htmlOurs, 3);
        const double theirs = timed(htmlTheirs, 3);
        report((std::to_string(htmlCount) + " receipts of 50 KB to HTML").c_str(), ours, theirs,
               0.3);
    }

    if (pdfCount <= 0) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        return 0;
    }
    // Printing costs the web engine in proportion to the pages: the 50 KB
    // receipt is 19 pages of table, a common receipt one page (2 KB).
    struct PdfSet {
        const char* name;
        size_t bytes;
    } sets[] = {{"one-page (2 KB)", 2u << 10}, {"19-page (50 KB)", 50u << 10}};
    for (const PdfSet& set : sets) {
        const std::string in = dir + "/pdfin";
        bench::writeForm(dir, set.bytes);
        if (!run("cd " + dir + " && rm -rf pdfin pdf pages ref/*.pdf && mkdir pdfin && zip -q p.rcp "
                 "form.xml form.xsl && for i in $(seq " + std::to_string(pdfCount) +
                 "); do cp p.rcp pdfin/r$i.rcp; done")) {
            return 1;
        }
        const std::string list = "ls " + in + "/*.rcp";
        const std::string pdfOurs = list + " | xargs " + cli + " open --jobs 2 --out-dir " + dir +
                                    "/pages --pdf-dir " + dir + "/pdf";
        const std::string pdfTheirs = list + " | xargs -P 2 -I{} sh -c 'f=$1; b=${f##*/}; " + cli +
                                      " open \"$f\" --pdf " + dir + "/ref/${b%.rcp}.pdf' sh {}";
        const double oursPdf = timed(pdfOurs, 1);
        const double theirsPdf = timed(pdfTheirs, 1);
        report((std::to_string(pdfCount) + " " + set.name + " receipts to PDF").c_str(), oursPdf,
               theirsPdf, 0.2);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
