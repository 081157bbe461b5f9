// paperlens-cli as scripts use it.
#include "fixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <cstdio>
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
        EXPECT_EQ(testsupport::run(
                      {"sh", "-c",
                       "cd " + (dir / "src") + " && zip -qr ../f.zip . && mv ../f.zip ../" + name}),
                  0);
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
        // A usage error names what is wrong in one line, and where to read.
        {{}, 2, "paperlens-cli: missing a command\nTry 'paperlens-cli --help'"},
        {{"open"}, 2, "paperlens-cli: open: missing FILE\nTry 'paperlens-cli --help'"},
        {{"open", "a", "--frob"}, 2, "paperlens-cli: open: unexpected argument '--frob'\n"},
        {{"open", "a", "b"}, 2, "open: give --out-dir DIR to open more than one FILE\n"},
        {{"open", "a", "--pdf-dir", "p"}, 2, "open: --pdf-dir and --jobs go with --out-dir\n"},
        {{"open", "a", "--out-dir", "d", "--out", "x"}, 2, "open: --out and --pdf go with one FILE"},
        {{"open", "a", "--out-dir", "d", "--jobs", "0"}, 2, "open: --jobs takes a number"},
        {{"frobnicate"}, 2, "paperlens-cli: unknown command 'frobnicate'\n"},
        {{"verify", cli.dir / "b.kvx"}, 2, "paperlens-cli: verify: missing --cert PATH\n"},
        {{"certs", "--location", "tape"}, 2, "certs: unknown location 'tape'"},
        {{"receipt", "--xml", "a"}, 2, "receipt: needs --xml F --xsl F -o OUT.rcp, each once\n"},
        {{"--help"}, 0, "usage:"},
        {{"--version"}, 0, "paperlens-cli 1.0.0.12\n"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(cli.run(c.args, &output), c.status) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
    }
    EXPECT_FALSE(testsupport::exists(cli.dir / "x.html"));
}

namespace {

// A prefix holding certificates in every place the dialog looks: the
// registry, the NPKI folder, a class-2 set on drive C, a floppy in a: and
// a CD in d:.
struct CertPrefix : Cli {
    fixtures::World world = fixtures::writeWorld(dir / "world", "1234qwer!");
    std::string root = dir / "prefix";

    CertPrefix() {
        const std::string c = root + "/drive_c/";
        copy(dir / "world/users/hong", c + "Program Files/NPKI/yessign/USER/cn=hong");
        copy(dir / "world/class2", c + "OTRX/certificate/class2");
        copy(dir / "world/users/kim", dir / "floppy/yessign/cn=kim");
        copy(dir / "world/class2", dir / "cd/OTRX/Certificate/Class2");
        link(dir / "floppy", root + "/dosdevices/a:");
        link(dir / "cd", root + "/dosdevices/d:");
        testsupport::writeFile(root + "/system.reg",
                               "WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drives] 1\n"
                               "\"a:\"=\"floppy\"\n\"d:\"=\"cdrom\"\n");
        // kim's signing pair in a registry store.
        fixtures::writeRegistryUser(root + "/user.reg", "cn=kim", world.kim.sign);
    }

    void copy(const std::string& from, const std::string& to) {
        ASSERT_EQ(testsupport::run({"mkdir", "-p", to}), 0);
        ASSERT_EQ(testsupport::run({"sh", "-c", "cp -r \"$0\"/. \"$1\"", from, to}), 0);
    }
    void link(const std::string& target, const std::string& name) {
        ASSERT_EQ(testsupport::run({"mkdir", "-p", root + "/dosdevices"}), 0);
        ASSERT_EQ(testsupport::run({"ln", "-s", target, name}), 0);
    }
};

}  // namespace

TEST(Cli, CertsListsWhatEachLocationHolds) {
    CertPrefix prefix;
    const std::string hong = "홍길동()0001234567890123\t금융결제원\t";
    const std::string kim = "김철수()0009876543210987\t금융결제원\t";
    struct Case {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"certs"},
         kim + "c:\\kvx\\cn=1\\SignCert.der\n" + hong +
             "c:\\Program Files\\NPKI\\yessign\\user\\cn=hong\\SignCert.der\n"
             "박영희\tTessaran\tC:\\OTRX\\certificate\\class2\\park_sig.cer\n"},
        {{"certs", "--location", "floppy"},
         kim + "a:\\yessign\\cn=kim\\SignCert.der\n" + kim + "a:\\yessign\\cn=kim\\SignCert.der\n"},
        {{"certs", "--location", "cd"},
         "박영희\tTessaran\tD:\\OTRX\\certificate\\class2\\park_sig.cer\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(prefix.run(c.args, &output), 0) << c.args.back();
        EXPECT_EQ(output, c.output) << c.args.back();
    }
    // The keys exported from the registry went with the run's workspace.
    EXPECT_FALSE(testsupport::exists(prefix.root + "/drive_c/kvx"));
    EXPECT_EQ(QDir(QString::fromStdString(prefix.root + "/workspace"))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
}

TEST(Cli, CertsWithNothingToListPrintsNothing) {
    Cli cli;
    std::string output = "unset";
    EXPECT_EQ(cli.run({"certs", "--location", "floppy"}, &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(cli.run({"certs", "--location", "tape"}), 2);
    EXPECT_EQ(cli.run({"certs", "--location"}), 2);
}

namespace {

struct SealWorld : Cli {
    fixtures::World world = fixtures::writeWorld(dir / "world", "1234qwer!");
    std::string w = dir / "world";

    SealWorld() {
        testsupport::writeFile(dir / "src/form.xml",
                               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<form>주민등록표 "
                               "등본</form>\n");
        testsupport::writeFile(dir / "src/form.xsl", kXsl);
        // The workspace's own trust configurations.
        EXPECT_EQ(testsupport::run({"sh", "-c",
                                    "mkdir -p \"$1/prefix/workspace\" && cp -r \"$0/pki\" "
                                    "\"$0/npkiconf.ini\" \"$0/otrxconf.ini\" \"$1/prefix/workspace/\"",
                                    w, dir.path()}),
                  0);
    }
    int seal(const std::string& out, const std::string& recipient, bool government = false) {
        const std::string signer = w + (government ? "/issuer/gov-signer" : "/issuer/signer");
        return testsupport::run({PAPERLENS_CLI, "seal", "--xml", dir / "src/form.xml", "--xsl",
                                 dir / "src/form.xsl", "--signer-key", signer + ".key",
                                 "--signer-cert", signer + ".der", "--recipient-cert", recipient,
                                 "--conf", w + (government ? "/otrxconf.ini" : "/npkiconf.ini"),
                                 "-o", out},
                                "\n");
    }
    int open(const std::vector<std::string>& args, const std::string& password,
             std::string* output) {
        std::vector<std::string> argv{PAPERLENS_CLI, "open"};
        argv.insert(argv.end(), args.begin(), args.end());
        return testsupport::run(argv, password, output);
    }
};

}  // namespace

TEST(Cli, SealedDocumentsOpenWithOpensslAndReceiptsHoldPlainMembers) {
    SealWorld s;
    const std::string kvx = s.dir / "out/doc.kvx";
    ASSERT_EQ(testsupport::run({"mkdir", "-p", s.dir / "out/x"}), 0);
    ASSERT_EQ(s.seal(kvx, s.w + "/users/hong/SignCert.der"), 0);
    fixtures::writeKey(s.dir / "out/hong.key", s.world.hong.sign.key, "", fixtures::KeyScheme::PemPkcs8);
    fixtures::writeCertPem(s.dir / "out/hong.pem", s.world.hong.sign.cert);
    fixtures::writeCertPem(s.dir / "out/root.pem", s.world.root.cert);
    fixtures::writeCertPem(s.dir / "out/ca.pem", s.world.agencyCa.cert);
    testsupport::writeFile(s.dir / "out/chain.pem", testsupport::readFile(s.dir / "out/root.pem") +
                                                        testsupport::readFile(s.dir / "out/ca.pem"));
    std::string listing;
    ASSERT_EQ(testsupport::run({"unzip", "-Z1", kvx}, {}, &listing), 0);
    EXPECT_EQ(listing, "form.xml\nform.xsl\n");
    const std::string x = s.dir / "out/x";
    ASSERT_EQ(testsupport::run({"unzip", "-q", "-d", x, kvx}), 0);
    EXPECT_EQ(testsupport::readFile(x + "/form.xsl"), kXsl);
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-decrypt", "-provider", "legacy", "-provider",
                                "default", "-binary", "-inform", "DER", "-in", x + "/form.xml",
                                "-inkey", s.dir / "out/hong.key", "-recip", s.dir / "out/hong.pem",
                                "-out", x + "/signed.der"}),
              0);
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in",
                                x + "/signed.der", "-CAfile", s.dir / "out/chain.pem", "-out",
                                x + "/content"}),
              0);
    EXPECT_EQ(testsupport::readFile(x + "/content"), testsupport::readFile(s.dir / "src/form.xml"));

    const std::string rcp = s.dir / "out/r.rcp";
    ASSERT_EQ(s.run({"receipt", "--xml", s.dir / "src/form.xml", "--xsl", s.dir / "src/form.xsl",
                     "-o", rcp}),
              0);
    std::string xml;
    ASSERT_EQ(testsupport::run({"unzip", "-p", rcp, "form.xml"}, {}, &xml), 0);
    EXPECT_EQ(xml, testsupport::readFile(s.dir / "src/form.xml"));
    EXPECT_EQ(s.run({"seal", "--xml", "a"}), 2);
}

TEST(Cli, OpensIssuedDocumentsWithTheGivenCertificate) {
    SealWorld s;
    const std::string hongDoc = s.dir / "hong.kvx";
    const std::string parkDoc = s.dir / "park.kvx";
    ASSERT_EQ(s.seal(hongDoc, s.w + "/users/hong/SignCert.der"), 0);
    ASSERT_EQ(s.seal(parkDoc, s.w + "/class2/park_env.cer", true), 0);
    testsupport::writeFile(s.dir / "pw", "1234qwer!\n");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string password;
        int status;
        std::string says;
    } cases[] = {
        {"folder, stdin", {hongDoc, "--cert", s.w + "/users/hong", "--password-stdin"}, "1234qwer!\n", 0, ""},
        {"folder, file", {hongDoc, "--cert", s.w + "/users/hong", "--password-file", s.dir / "pw"}, "", 0, ""},
        {"class-2", {parkDoc, "--cert", s.w + "/class2/park_sig.cer", "--password-stdin"}, "1234qwer!", 0, ""},
        {"wrong password", {hongDoc, "--cert", s.w + "/users/hong", "--password-stdin"}, "nope\n", 1,
         "복호화에러 [70018] 인증서 비밀번호가 틀립니다.!!!"},
        {"another's certificate", {hongDoc, "--cert", s.w + "/users/kim", "--password-stdin"}, "1234qwer!\n", 1,
         "복호화에러 [70806] 공개키 복호화 실패..!!!"},
        {"no certificate", {hongDoc, "--password-stdin"}, "1234qwer!\n", 1,
         "공인 기관에서 발급된 인증서가 없습니다."},
        {"empty password", {hongDoc, "--cert", s.w + "/users/hong", "--password-stdin"}, "\n", 1,
         "암호를 입력해 주십시요"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", s.dir / "page.html"});
        std::remove((s.dir / "page.html").c_str());
        std::string output;
        EXPECT_EQ(s.open(args, c.password, &output), c.status);
        if (c.status == 0) {
            const std::string page = testsupport::readFile(s.dir / "page.html");
            EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t*>(page.data() + 2),
                                           static_cast<qsizetype>((page.size() - 2) / 2))
                            .contains(QStringLiteral("주민등록표 등본")));
        } else {
            EXPECT_NE(output.find(c.says), std::string::npos) << output;
            EXPECT_FALSE(testsupport::exists(s.dir / "page.html"));
        }
    }
}

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) {
        result.push_back(text.substr(start));
    }
    return result;
}

}  // namespace

TEST(Cli, OpensManyDocumentsInOneRunAsSingleOpensDo) {
    SealWorld s;
    const std::string receipt = s.form("receipt.rcp");
    const std::string hong = s.dir / "hong.kvx";
    const std::string kim = s.dir / "kim.kvx";
    const std::string broken = s.dir / "broken.rcp";
    ASSERT_EQ(s.seal(hong, s.w + "/users/hong/SignCert.der"), 0);
    ASSERT_EQ(s.seal(kim, s.w + "/users/kim/SignCert.der"), 0);
    testsupport::writeFile(broken, "PK\x03\x04 but nothing else");
    const std::vector<std::string> certificate{"--cert", s.w + "/users/hong", "--password-stdin"};
    struct Case {
        std::string file;
        std::string page;  // DIR/<name>.html, or empty where it must fail
        std::string says;
    } cases[] = {
        {receipt, "receipt.html", ""},
        {hong, "hong.html", ""},
        {broken, "", "압축 파일이 아니거나 열 수 없습니다"},
        {kim, "", "복호화에러 [70806] 공개키 복호화 실패..!!!"},
    };
    // Options after the files and before them, as xargs and people write
    // them.
    std::vector<std::string> args{"--out-dir", s.dir / "pages", "--jobs", "2"};
    for (const Case& c : cases) {
        args.push_back(c.file);
    }
    args.insert(args.end(), certificate.begin(), certificate.end());
    std::string output;
    EXPECT_EQ(s.open(args, "1234qwer!\n", &output), 1) << output;
    const std::vector<std::string> said = lines(output);
    EXPECT_EQ(said.size(), 2u) << output;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.page.empty()) {
            // The page single `open` writes, byte for byte.
            std::vector<std::string> single{c.file, "--out", s.dir / "single.html"};
            single.insert(single.end(), certificate.begin(), certificate.end());
            ASSERT_EQ(s.open(single, "1234qwer!\n", nullptr), 0);
            EXPECT_EQ(testsupport::readFile(s.dir / "pages/" + c.page),
                      testsupport::readFile(s.dir / "single.html"));
            continue;
        }
        const std::string stem = c.file.substr(c.file.rfind('/') + 1, c.file.rfind('.') - c.file.rfind('/') - 1);
        EXPECT_FALSE(testsupport::exists(s.dir / "pages/" + stem + ".html"));
        bool found = false;
        for (const std::string& line : said) {
            found = found || (line.rfind(c.file + ": ", 0) == 0 &&
                              line.find(c.says) != std::string::npos);
        }
        EXPECT_TRUE(found) << output;
    }
    // Every document's workspace went with it.
    std::string left;
    testsupport::run({"sh", "-c", "ls -A \"$0\" | grep -v -e '^npkiconf.ini$' -e '^otrxconf.ini$' "
                                  "-e '^pki$' -e '^.lock$'",
                      s.dir / "prefix/workspace"},
                     {}, &left);
    EXPECT_EQ(left, "");
}

TEST(Cli, ABatchOfOneBehavesLikeOpen) {
    SealWorld s;
    const std::string receipt = s.form("receipt.rcp");
    testsupport::writeFile(s.dir / "broken.rcp", "not a zip");
    struct Case {
        std::string file;
        int status;
        std::string says;
    } cases[] = {
        {receipt, 0, ""},
        {s.dir / "broken.rcp", 1, "압축 파일이 아니거나 열 수 없습니다"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string single;
        std::string batch;
        EXPECT_EQ(s.open({c.file, "--out", s.dir / "single.html"}, "", &single), c.status);
        EXPECT_EQ(s.open({c.file, "--out-dir", s.dir / "pages"}, "", &batch), c.status);
        if (c.status == 0) {
            EXPECT_EQ(batch, "");
            EXPECT_EQ(testsupport::readFile(s.dir / "pages/receipt.html"),
                      testsupport::readFile(s.dir / "single.html"));
        } else {
            EXPECT_NE(single.find(c.says), std::string::npos) << single;
            EXPECT_EQ(lines(batch).size(), 1u) << batch;
            EXPECT_EQ(batch.rfind(c.file + ": ", 0), 0u) << batch;
            EXPECT_NE(batch.find(c.says), std::string::npos) << batch;
        }
    }
}

TEST(Cli, ABatchRefusesToWriteOnePageOverAnother) {
    SealWorld s;
    const std::string first = s.form("same.rcp");
    ASSERT_EQ(testsupport::run({"mkdir", "-p", s.dir / "other"}), 0);
    ASSERT_EQ(testsupport::run({"cp", first, s.dir / "other/same.kvx"}), 0);
    std::string output;
    EXPECT_EQ(s.open({first, s.dir / "other/same.kvx", "--out-dir", s.dir / "pages"}, "", &output), 1);
    EXPECT_TRUE(testsupport::exists(s.dir / "pages/same.html"));
    EXPECT_EQ(output.rfind(s.dir / "other/same.kvx: ", 0), 0u) << output;
}

TEST(Cli, ABatchPrintsEveryPageWithOneEngine) {
    SealWorld s;
    TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const std::string a = s.form("a.rcp");
    const std::string b = s.form("b.rcp");
    std::string output;
    ASSERT_EQ(s.open({a, b, "--out-dir", s.dir / "pages", "--pdf-dir", s.dir / "pdf"}, "", &output),
              0)
        << output;
    EXPECT_EQ(output, "");
    for (const char* pdf : {"a.pdf", "b.pdf"}) {
        EXPECT_EQ(testsupport::readFile(s.dir / "pdf/" + pdf).substr(0, 5), "%PDF-") << pdf;
    }
}
