// The Open and Close commands with the window's parts replaced by doubles.
#include "openpipeline.h"
#include "scriptedprompt.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct FakeChooser : platform::FileChooser {
    QString next;
    QString title, filter;
    QString chooseFile(const QString& t, const QString& f) override {
        title = t;
        filter = f;
        return next;
    }
};

struct FakeView : shell::WebView {
    QStringList shown;
    void navigate(const QString& hostPath) override { shown.append(hostPath); }
};

struct FakeDialog : shell::UnsealDialog {
    shell::AppState* state = nullptr;
    bool unseal = false;
    int shows = 0;
    void showModal(shell::AppState& shown) override {
        EXPECT_EQ(&shown, state);
        ++shows;
        if (unseal) {
            state->UnsealSucceeded = shell::kTrue;
        }
    }
};

const char kXsl[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><p>"
    "<xsl:value-of select=\"form\"/></p></xsl:template></xsl:stylesheet>";

struct Viewer {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    shell::AppState state;
    testsupport::ScriptedPrompt prompt;
    FakeChooser chooser;
    FakeView view;
    FakeDialog dialog;
    modUnzip32 unzip{prompt, prefix};
    shell::OpenPipeline pipeline{
        {state, prefix, prompt, chooser, view, dialog, unzip, q(dir / "loading.html")}};
    std::string app = dir / "prefix/workspace";

    Viewer() {
        EXPECT_TRUE(prefix.ensure());
        dialog.state = &state;
    }
    // A form archive with the given member names.
    std::string form(const std::string& name, const std::string& xml = "form.xml",
                     const std::string& xsl = "form.xsl", const std::string& text = "hello") {
        std::string src = dir / ("src-" + std::to_string(counter++));
        testsupport::writeFile(src + "/" + xml, "<form>" + text + "</form>");
        testsupport::writeFile(src + "/" + xsl, kXsl);
        std::string path = dir / name;
        QDir().mkpath(QFileInfo(q(path)).path());
        // zip adds ".zip" to a name without one: write, then rename.
        EXPECT_EQ(testsupport::run({"sh", "-c", "cd '" + src + "' && zip -qr ../f.zip . && mv ../f.zip '" +
                                                    path + "'"}),
                  0);
        return path;
    }
    void open(const std::string& path) {
        chooser.next = q(path);
        pipeline.mnuFileOpen();
    }
    std::string page() { return testsupport::readFile(app + "/temp.html"); }
    int counter = 0;
};

QString utf16(const std::string& bytes) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                              static_cast<qsizetype>((bytes.size() - 2) / 2));
}

}  // namespace

TEST(OpenPipeline, AReceiptOpensEndToEnd) {
    Viewer v;
    v.open(v.form("a.rcp"));
    EXPECT_EQ(v.chooser.title, "열기");
    EXPECT_EQ(v.chooser.filter, "발급물 (*.kvx)|*.kvx|접수증 (*.rcp)|*.rcp");
    std::string page = v.page();
    ASSERT_GE(page.size(), 2u);
    EXPECT_EQ(page.substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(utf16(page).contains("<p>hello</p>"));
    EXPECT_EQ(v.view.shown, QStringList{q(v.app + "/temp.html")});
    EXPECT_FALSE(testsupport::exists(v.app + "/data"));
    EXPECT_EQ(v.dialog.shows, 0);
    EXPECT_TRUE(v.prompt.shown.empty());
}

TEST(OpenPipeline, ExtensionsDecideWhetherTheDialogIsShown) {
    struct {
        std::string name;
        bool dialog;
    } cases[] = {{"doc.kvx", true},           {"doc.KVX", false},
                 {"nodot", false},            {"fold.kvx/doc.rcp", false},
                 {"fold.er/doc.kvx", true},   {"doc.rcp.kvx", true}};
    for (const auto& c : cases) {
        Viewer v;
        v.open(v.form(c.name));
        EXPECT_EQ(v.dialog.shows, c.dialog ? 1 : 0) << c.name;
        if (c.dialog) {
            // The dialog did not unseal: viewing fails, the extraction stays.
            ASSERT_EQ(v.prompt.shown.size(), 1u) << c.name;
            EXPECT_EQ(v.prompt.shown[0].text, "보기에 실패했습니다");
            EXPECT_EQ(v.prompt.shown[0].caption, "Paperlens");
            EXPECT_TRUE(testsupport::exists(v.app + "/data/form.xml")) << c.name;
            EXPECT_FALSE(testsupport::exists(v.app + "/temp.html")) << c.name;
        } else {
            EXPECT_TRUE(testsupport::exists(v.app + "/temp.html")) << c.name;
        }
    }
}

TEST(OpenPipeline, TheFlagIsClearedBeforeEveryDialog) {
    Viewer v;
    v.dialog.unseal = true;
    v.open(v.form("one.kvx"));
    EXPECT_TRUE(testsupport::exists(v.app + "/temp.html"));
    v.dialog.unseal = false;
    v.open(v.form("two.kvx"));
    ASSERT_EQ(v.prompt.shown.size(), 1u);
    EXPECT_EQ(v.prompt.shown[0].text, "보기에 실패했습니다");
}

TEST(OpenPipeline, CancellingTheChooserStillEmptiesTheWorkspace) {
    Viewer v;
    testsupport::writeFile(v.app + "/data/left.xml", "x");
    testsupport::writeFile(v.app + "/temp.html", "x");
    v.open("");
    EXPECT_FALSE(testsupport::exists(v.app + "/data"));
    EXPECT_FALSE(testsupport::exists(v.app + "/temp.html"));
    EXPECT_TRUE(v.view.shown.isEmpty());
}

TEST(OpenPipeline, MemberNamesAreKeptFromAnEarlierDocument) {
    Viewer v;
    v.open(v.form("first.rcp", "a.xml", "a.xsl", "first"));
    // The second archive has its data under a new name but no stylesheet of
    // its own name: the earlier stylesheet name stays and is missing now.
    v.open(v.form("second.rcp", "b.xml", "sub/b.xsl", "second"));
    EXPECT_EQ(v.state.XmlFileName, "b.xml");
    EXPECT_EQ(v.state.XslFileName, "a.xsl");
    ASSERT_EQ(v.prompt.shown.size(), 1u);
    EXPECT_EQ(v.prompt.shown[0].text, "서식 양식(XSL) 파일을 찾을 수 없습니다.");
    EXPECT_EQ(v.view.shown.last(), q(v.dir / "loading.html"));
    EXPECT_FALSE(testsupport::exists(v.app + "/temp.html"));
}

TEST(OpenPipeline, CloseEmptiesTheWorkspaceAndShowsTheStartPage) {
    Viewer v;
    v.pipeline.mnuFileClose();
    EXPECT_EQ(v.view.shown, QStringList{q(v.dir / "loading.html")});
    v.open(v.form("a.rcp"));
    v.pipeline.mnuFileClose();
    EXPECT_FALSE(testsupport::exists(v.app + "/temp.html"));
    EXPECT_FALSE(testsupport::exists(v.app + "/data"));
    EXPECT_EQ(v.view.shown.last(), q(v.dir / "loading.html"));
}

TEST(OpenPipeline, ANonZipIsReportedAndThenViewingFails) {
    Viewer v;
    testsupport::writeFile(v.dir / "broken.rcp", "not a zip");
    v.open(v.dir / "broken.rcp");
    ASSERT_EQ(v.prompt.shown.size(), 2u);
    EXPECT_TRUE(v.prompt.shown[0].text.startsWith("9\r\n"));
    EXPECT_EQ(v.prompt.shown[1].text, "서식 데이터(XML) 파일을 찾을 수 없습니다.");
}
