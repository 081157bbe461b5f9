// paperlens-cli as scripts use it.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdlib>

using testsupport::TempDir;

namespace {

const char kXsl[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><p>"
    "<xsl:value-of select=\"form\"/></p></xsl:template></xsl:stylesheet>";

struct Cli {
    TempDir dir;
    Cli() { ::setenv("PAPERLENS_PREFIX", (dir / "prefix").c_str(), 1); }
    int run(std::vector<std::string> args, std::string* output = nullptr) {
        args.insert(args.begin(), PAPERLENS_CLI);
        return testsupport::run(args, {}, output);
    }
    std::string form(const std::string& name) {
        testsupport::writeFile(dir / "src/form.xml", "<form>주민등록표</form>");
        testsupport::writeFile(dir / "src/form.xsl", kXsl);
        EXPECT_EQ(testsupport::run({"sh", "-c", "cd " + (dir / "src") + " && zip -qr ../f.zip . && mv ../f.zip ../" + name}), 0);
        return dir / name;
    }
};

}  // namespace

TEST(Cli, OpensAReceiptIntoThePage) {
    Cli cli;
    std::string form = cli.form("a.rcp");
    ASSERT_EQ(cli.run({"open", form, "--out", cli.dir / "page.html"}), 0);
    std::string page = testsupport::readFile(cli.dir / "page.html");
    std::string expected;
    ASSERT_EQ(testsupport::run({"xsltproc", cli.dir / "src/form.xsl", cli.dir / "src/form.xml"}, {},
                               &expected),
              0);
    ASSERT_GE(page.size(), 2u);
    EXPECT_EQ(page.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(page.data() + 2),
                                 static_cast<qsizetype>((page.size() - 2) / 2)),
              QString::fromStdString(expected));
    // Nothing of the document stays in the workspace.
    EXPECT_FALSE(testsupport::exists(cli.dir / "prefix/workspace/temp.html"));
    EXPECT_FALSE(testsupport::exists(cli.dir / "prefix/workspace/data"));
}

TEST(Cli, PrintsThePageAsPdf) {
    Cli cli;
    TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    std::string form = cli.form("a.rcp");
    std::string output;
    ASSERT_EQ(cli.run({"open", form, "--pdf", cli.dir / "page.pdf"}, &output), 0) << output;
    std::string pdf = testsupport::readFile(cli.dir / "page.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_FALSE(testsupport::exists(cli.dir / "prefix/workspace/temp.html"));
}

TEST(Cli, StatusesAndMessages) {
    Cli cli;
    testsupport::writeFile(cli.dir / "broken.rcp", "not a zip");
    std::string issued = cli.form("b.kvx");
    struct {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"open", cli.dir / "broken.rcp", "--out", cli.dir / "x.html"}, 1, "9\n"},
        {{"open", issued, "--out", cli.dir / "x.html"}, 1, "보기에 실패했습니다"},
        {{}, 2, "usage:"},
        {{"open"}, 2, "usage:"},
        {{"open", "a", "b"}, 2, "usage:"},
        {{"frobnicate"}, 2, "usage:"},
        {{"--help"}, 0, "usage:"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(cli.run(c.args, &output), c.status) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
    }
    EXPECT_FALSE(testsupport::exists(cli.dir / "x.html"));
}
