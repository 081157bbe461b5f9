// Runs at once, runs stopped halfway, and runs without a terminal: each in
// a workspace of its own, nothing decrypted left behind, nothing asked.
#include "fixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <csignal>
#include <cstdlib>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const char kXsl[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><p>"
    "<xsl:value-of select=\"form/name\"/></p></xsl:template></xsl:stylesheet>";

// The page paperlens-cli wrote (FF FE, then UTF-16LE) as text.
QString pageText(const std::string& path) {
    const std::string page = testsupport::readFile(path);
    return page.size() < 2 ? QString()
                           : QString::fromUtf16(reinterpret_cast<const char16_t*>(page.data() + 2),
                                                static_cast<qsizetype>((page.size() - 2) / 2));
}

// Every file and folder left under a folder, as paths relative to it.
QStringList leftUnder(const std::string& folder) {
    QStringList left;
    QDirIterator it(q(folder), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        left.append(QDir(q(folder)).relativeFilePath(it.next()));
    }
    left.sort();
    return left;
}

struct Prefix {
    TempDir dir;
    std::string root = dir / "prefix";
    Prefix() { ::setenv("PAPERLENS_PREFIX", root.c_str(), 1); }
    // A receipt whose form names `who`, with the member names every other
    // receipt has.
    std::string receipt(const std::string& name, const std::string& who) {
        const std::string src = dir / ("src-" + name);
        testsupport::writeFile(src + "/form.xml", "<form><name>" + who + "</name></form>");
        testsupport::writeFile(src + "/form.xsl", kXsl);
        EXPECT_EQ(testsupport::run({"sh", "-c", "cd \"$0\" && zip -q \"$1\" form.xml form.xsl",
                                    src, dir / name}),
                  0);
        return dir / name;
    }
};

}  // namespace

TEST(Workspaces, RunsAtOnceEachShowTheirOwnDocument) {
    Prefix p;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        const std::string form = p.receipt("r" + n + ".rcp", "citizen" + n);
        auto run = std::make_unique<QProcess>();
        run->setProcessChannelMode(QProcess::MergedChannels);
        run->start(PAPERLENS_CLI, {"open", q(form), "--out", q(p.dir / ("out" + n + ".html"))});
        runs.push_back(std::move(run));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_TRUE(runs[i]->waitForFinished(60000));
        EXPECT_EQ(runs[i]->exitCode(), 0) << runs[i]->readAll().toStdString();
        EXPECT_EQ(pageText(p.dir / ("out" + std::to_string(i) + ".html")),
                  "<p>citizen" + QString::number(i) + "</p>\n");
    }
    EXPECT_EQ(leftUnder(p.root + "/workspace"), QStringList{".lock"});
}

TEST(Workspaces, AStoppedRunLeavesNothingDecryptedBehind) {
    Prefix p;
    const std::string w = p.dir / "world";
    const fixtures::World world = fixtures::writeWorld(w, "1234qwer!");
    // A document large enough that the run is still unsealing when it is
    // told to stop.
    std::string xml = "<form><name>홍길동</name>";
    for (int i = 0; i < 400000; ++i) {
        xml += "<row>서울특별시 종로구 세종대로 209</row>";
    }
    testsupport::writeFile(p.dir / "big/form.xml", xml + "</form>");
    testsupport::writeFile(p.dir / "big/form.xsl", kXsl);
    ASSERT_EQ(testsupport::run({"sh", "-c",
                                "mkdir -p \"$1/workspace\" && cp -r \"$0/pki\" \"$0/npkiconf.ini\" "
                                "\"$1/workspace/\"",
                                w, p.root}),
              0);
    ASSERT_EQ(testsupport::run({PAPERLENS_CLI, "seal", "--xml", p.dir / "big/form.xml", "--xsl",
                                p.dir / "big/form.xsl", "--signer-key", w + "/issuer/signer.key",
                                "--signer-cert", w + "/issuer/signer.der", "--recipient-cert",
                                w + "/users/hong/SignCert.der", "--conf", w + "/npkiconf.ini", "-o",
                                p.dir / "big.kvx"},
                               "\n"),
              0);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        QProcess run;
        run.start(PAPERLENS_CLI, {"open", q(p.dir / "big.kvx"), "--cert", q(w + "/users/hong"),
                                  "--password-stdin", "--out", q(p.dir / "page.html")});
        ASSERT_TRUE(run.waitForStarted());
        run.write("1234qwer!\n");
        ASSERT_TRUE(run.waitForBytesWritten(10000));
        run.closeWriteChannel();
        // Stop it as soon as the decrypted message appears in its workspace.
        QElapsedTimer clock;
        clock.start();
        bool decrypting = false;
        while (!decrypting && clock.elapsed() < 30000 && !run.waitForFinished(1)) {
            decrypting = leftUnder(p.root + "/workspace").filter("sig.dec").size() > 0;
        }
        ASSERT_TRUE(decrypting) << "the run ended before it decrypted";
        ::kill(static_cast<pid_t>(run.processId()), signal);
        ASSERT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 128 + signal);
        // Only what the user put there and the prefix's own layout remain.
        for (const QString& path : leftUnder(p.root)) {
            EXPECT_FALSE(path.contains("run-") || path.contains("gone-") ||
                         path.contains("sig.dec") || path.contains("form.x") ||
                         path.contains("temp.html") || path.contains("kvx"))
                << path.toStdString();
        }
        EXPECT_FALSE(testsupport::exists(p.dir / "page.html"));
    }
}

TEST(Workspaces, AFolderADeadRunLeftGoesAtTheNextStart) {
    Prefix p;
    const std::string stale = p.root + "/workspace/run-crashd";
    testsupport::writeFile(stale + "/.lock", "");
    testsupport::writeFile(stale + "/data/form.xml", "<form>decrypted</form>");
    testsupport::writeFile(stale + "/temp.html", "page");
    const std::string form = p.receipt("a.rcp", "citizen");
    ASSERT_EQ(testsupport::run({PAPERLENS_CLI, "open", form, "--out", p.dir / "out.html"}), 0);
    EXPECT_EQ(leftUnder(p.root + "/workspace"), QStringList{".lock"});
}

TEST(Workspaces, RunsWithoutATerminalAskNothing) {
    Prefix p;
    const std::string src = p.dir / "src";
    testsupport::writeFile(src + "/form.xml", "<form><name>first</name></form>");
    testsupport::writeFile(src + "/form.xsl", kXsl);
    // Two members of one name: the second is answered No, the first stays.
    ASSERT_EQ(testsupport::run({"python3", "-W", "ignore", "-c",
                                "import sys, zipfile\n"
                                "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                "    z.write(sys.argv[2] + '/form.xml', 'form.xml')\n"
                                "    z.write(sys.argv[2] + '/form.xsl', 'form.xsl')\n"
                                "    z.writestr('form.xml', '<form><name>second</name></form>')\n",
                                p.dir / "dup.rcp", src}),
              0);
    ASSERT_EQ(testsupport::run({"sh", "-c", "cd \"$0\" && zip -q -P s3cret ../secret.rcp form.xml form.xsl",
                                src}),
              0);
    testsupport::writeFile(p.dir / "zip-pw", "s3cret\n");
    struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        const char* says;
        const char* shows;
    } cases[] = {
        {"duplicate member", {"open", p.dir / "dup.rcp"}, 0, "덮어 쓰시겠습니까?", "first"},
        {"encrypted, no password", {"open", p.dir / "secret.rcp"}, 1, "--zip-password-file", ""},
        {"encrypted, password file",
         {"open", p.dir / "secret.rcp", "--zip-password-file", p.dir / "zip-pw"}, 0, "", "first"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{PAPERLENS_CLI};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--out", p.dir / "out.html"});
        std::remove((p.dir / "out.html").c_str());
        std::string output;
        EXPECT_EQ(testsupport::run(args, {}, &output), c.status) << c.what << ": " << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << c.what << ": " << output;
        if (c.status == 0) {
            EXPECT_EQ(pageText(p.dir / "out.html"), QString("<p>%1</p>\n").arg(c.shows)) << c.what;
        }
    }
}
