// The main window offscreen: start page, Open of a receipt, Close, About
// and the saved placement.
#include "frmmain.h"
#include "qtseams.h"
#include "resources.h"
#include "scriptedprompt.h"
#include "testsupport.h"
#include "webviewwait.h"
#include "workspace.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <unistd.h>
#include <cstdlib>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

struct GivenFile : platform::FileChooser {
    QString next;
    QString chooseFile(const QString&, const QString&) override { return next; }
};
// Chooses PDF output into `file`, or cancels when it is empty.
struct PdfPrinter : platform::PrinterChooser {
    QString file;
    bool choosePrinter(QPrinter& printer) override {
        if (file.isEmpty()) {
            return false;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
};

struct NoDialog : shell::UnsealDialog {
    void showModal(shell::AppState&) override {}
};

using testsupport::shownText;
using testsupport::waitForLoad;

// Waits until printing has written a PDF there, at most 30 s.
bool waitForPdf(const std::string& path) {
    for (int i = 0; i < 3000 && !testsupport::exists(path); ++i) {
        QTest::qWait(10);
    }
    QTest::qWait(200);
    return testsupport::exists(path) && testsupport::readFile(path).substr(0, 5) == "%PDF-";
}

struct Window {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    testsupport::ScriptedPrompt prompt;
    GivenFile chooser;
    PdfPrinter printers;
    NoDialog dialog;
    std::unique_ptr<shell::frmMain> window;
    std::string app = dir / "prefix/workspace";

    Window() {
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        EXPECT_TRUE(prefix.ensure());
        testsupport::writeFile(dir / "loading.html", "<html><body>start</body></html>");
        window = std::make_unique<shell::frmMain>(shell::frmMain::Parts{
            prefix, prompt, chooser, printers, dialog, q(dir / "loading.html")});
        window->show();
    }
    // Zips the two members into a receipt and opens it with File, Open.
    void open(const std::string& xml, const std::string& xsl) {
        testsupport::writeFile(dir / "src/form.xml", xml);
        testsupport::writeFile(dir / "src/form.xsl", xsl);
        ASSERT_EQ(testsupport::run({"sh", "-c", "cd " + (dir / "src") + " && zip -qr ../a.rcp ."}),
                  0);
        chooser.next = q(dir / "a.rcp");
        trigger("mnuFileOpen");
    }
    void trigger(const char* name) {
        QAction* action = window->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
};

}  // namespace

TEST(MainWindow, OpensAReceiptAndClosesIt) {
    Window w;
    EXPECT_EQ(w.window->windowTitle(), "Norvale 발급서식 뷰어");
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    EXPECT_EQ(w.window->webView()->url(), QUrl::fromLocalFile(q(w.dir / "loading.html")));

    w.open("<form>주민등록표</form>",
           "<xsl:stylesheet version=\"1.0\" "
           "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
           "match=\"/\"><html><body><xsl:value-of select=\"form\"/></body></html>"
           "</xsl:template></xsl:stylesheet>");
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    EXPECT_EQ(w.window->webView()->url(), QUrl::fromLocalFile(q(w.app + "/temp.html")));
    std::string page = testsupport::readFile(w.app + "/temp.html");
    EXPECT_EQ(page.substr(0, 2), "\xFF\xFE");
    EXPECT_FALSE(testsupport::exists(w.app + "/data"));
    const QString shown = shownText(w.window->webView());
    EXPECT_TRUE(shown.contains(QStringLiteral("주민등록표"))) << shown.toStdString();

    w.trigger("mnuFileClose");
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    EXPECT_FALSE(testsupport::exists(w.app + "/temp.html"));
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(MainWindow, AboutAndThePlacementSavedAtExit) {
    Window w;
    w.trigger("mnuHelpAbout");
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_EQ(w.prompt.shown[0].caption, "Paperlens");
    EXPECT_TRUE(w.prompt.shown[0].text.startsWith("Norvale 발급서식 뷰어\r버전 1.0\r\r"));
    EXPECT_EQ(w.prompt.shown[0].icon, platform::Icon::None);

    testsupport::writeFile(w.app + "/temp.html", "x");
    w.window->resize(800, 600);
    w.trigger("mnuFileExit");
    EXPECT_FALSE(testsupport::exists(w.app + "/temp.html"));
    QSettings settings(QStringLiteral("Paperlens"), QStringLiteral("Paperlens"));
    settings.beginGroup(QStringLiteral("Settings"));
    EXPECT_EQ(settings.value("MainWidth").toString().toInt(),
              w.window->frameGeometry().width() * 15);
    EXPECT_TRUE(settings.contains("MainLeft"));
    EXPECT_TRUE(settings.contains("MainTop"));
    EXPECT_TRUE(settings.contains("MainHeight"));
}

TEST(MainWindow, PrintsToPdfAndReportsAFailure) {
    Window w;
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    w.trigger("mnuFilePrint");  // cancelled: nothing happens
    w.printers.file = q(w.dir / "page.pdf");
    w.trigger("mnuFilePrint");
    EXPECT_TRUE(waitForPdf(w.dir / "page.pdf"));
    EXPECT_TRUE(w.prompt.shown.empty());

    w.printers.file = q(w.dir / "no/such/folder/page.pdf");
    w.trigger("mnuFilePrint");
    for (int i = 0; i < 3000 && w.prompt.shown.empty(); ++i) {
        QTest::qWait(10);
    }
    ASSERT_EQ(w.prompt.shown.size(), 1u);
    EXPECT_EQ(w.prompt.shown[0].caption, "Moonpetal Browser v1.0.0");
    EXPECT_EQ(w.prompt.shown[0].icon, platform::Icon::Information);
}

TEST(MainWindow, APrintButtonInTheFormPrintsAsFilePrintDoes) {
    Window w;
    w.printers.file = q(w.dir / "button.pdf");
    w.open("<form>인쇄</form>",
           "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:template match=\"/\"><html><body><button id=\"p\" onclick=\"window.print()\">"
           "<xsl:value-of select=\"form\"/></button><script>document.getElementById('p').click();"
           "</script></body></html></xsl:template></xsl:stylesheet>");
    EXPECT_TRUE(waitForPdf(w.dir / "button.pdf"));
}

TEST(MainWindow, FormsRenderAsTheirAuthorsSawThem) {
    Window w;
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    w.open("<!DOCTYPE form [<!ENTITY who \"홍길동\">]>\n<form>\n  <n>&who;</n>\n</form>",
           "<!DOCTYPE xsl:stylesheet [<!ENTITY nbsp \"&#160;\">]>"
           "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
           "xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\" xmlns:user=\"urn:paperlens-test\">"
           "<msxsl:script language=\"JScript\" implements-prefix=\"user\">"
           "function greet(s) { return '안녕 ' + s; }</msxsl:script>"
           "<xsl:variable name=\"rows\"><r>1</r><r>2</r></xsl:variable>"
           "<xsl:template match=\"/\"><html><body><p><xsl:value-of "
           "select=\"user:greet(string(form/n))\"/>"
           "&nbsp;<xsl:value-of select=\"count(msxsl:node-set($rows)/r)\"/>&nbsp;<xsl:value-of "
           "select=\"count(form/node())\"/></p></body></html></xsl:template></xsl:stylesheet>");
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    const QString shown = shownText(w.window->webView());
    EXPECT_EQ(shown.trimmed(), QString::fromUtf8("안녕 홍길동\u00a02\u00a01"));
    EXPECT_TRUE(w.prompt.shown.empty()) << w.prompt.shown[0].text.toStdString();
}

TEST(MainWindow, ThePageReachesNoNetwork) {
    Window w;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const std::string url = "http://127.0.0.1:" + std::to_string(server.serverPort());
    w.open("<form/>",
           "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
           "<xsl:template match=\"/\"><html><body><img src=\"" +
               url +
               "/a.png\"/>"
               "<script>fetch('" +
               url + "/b');</script><iframe src=\"" + url +
               "/c\"></iframe>"
               "</body></html></xsl:template></xsl:stylesheet>");
    waitForLoad(w.window->webView());
    QTest::qWait(1000);
    EXPECT_FALSE(server.hasPendingConnections());
}

TEST(MainWindow, TheViewFollowsTheOuterSizeInTwips) {
    Window w;
    w.window->resize(900, 700);
    QCoreApplication::processEvents();
    const QRect frame = w.window->frameGeometry();
    EXPECT_EQ(w.window->webView()->height(), (frame.height() * 15 - 930) / 15);
    EXPECT_EQ(w.window->webView()->width(), (frame.width() * 15 - 95) / 15);
    EXPECT_EQ(w.window->webView()->pos(), QPoint(0, 0));
}

TEST(MainWindow, NoPlacementIsSavedWhenMinimized) {
    Window w;
    w.window->setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(w.window->isMinimized());
    w.trigger("mnuFileExit");
    QSettings settings(QStringLiteral("Paperlens"), QStringLiteral("Paperlens"));
    EXPECT_FALSE(settings.contains("Settings/MainLeft"));
}

TEST(MainWindow, CancellingTheChooserStillEmptiesTheWorkspace) {
    Window w;
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    testsupport::writeFile(w.app + "/data/left.xml", "x");
    testsupport::writeFile(w.app + "/temp.html", "x");
    w.chooser.next.clear();
    w.trigger("mnuFileOpen");
    EXPECT_FALSE(testsupport::exists(w.app + "/data"));
    EXPECT_FALSE(testsupport::exists(w.app + "/temp.html"));
    EXPECT_EQ(w.window->webView()->url(), QUrl::fromLocalFile(q(w.dir / "loading.html")));
}

TEST(MainWindow, AWindowAndEightRunsOnOnePrefixEachShowTheirOwnDocument) {
    Window w;
    platform::ProcessWorkspace own(w.prefix);
    ASSERT_TRUE(own.ok());
    const auto receipt = [&](const std::string& name, const std::string& who) {
        const std::string src = w.dir / ("src-" + name);
        testsupport::writeFile(src + "/form.xml", "<form>" + who + "</form>");
        testsupport::writeFile(src + "/form.xsl",
                               "<xsl:stylesheet version=\"1.0\" "
                               "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                               "match=\"/\"><html><body><xsl:value-of select=\"form\"/></body>"
                               "</html></xsl:template></xsl:stylesheet>");
        EXPECT_EQ(testsupport::run({"sh", "-c", "cd \"$0\" && zip -q \"$1\" form.xml form.xsl", src,
                                    w.dir / name}),
                  0);
        return w.dir / name;
    };
    ::setenv("PAPERLENS_PREFIX", w.prefix.root().toLocal8Bit().constData(), 1);
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        auto run = std::make_unique<QProcess>();
        run->start(PAPERLENS_CLI,
                   {q(std::string("open")), q(receipt("r" + n + ".rcp", "임꺽정" + n)), "--out",
                    q(w.dir / ("out" + n + ".html"))});
        runs.push_back(std::move(run));
    }
    w.chooser.next = q(receipt("mine.rcp", "홍길동"));
    w.trigger("mnuFileOpen");
    ASSERT_TRUE(waitForLoad(w.window->webView()));
    const QString shown = shownText(w.window->webView());
    EXPECT_EQ(shown.trimmed(), "홍길동");
    EXPECT_EQ(w.window->webView()->url(), QUrl::fromLocalFile(own.folder() + "/temp.html"));
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_TRUE(runs[i]->state() == QProcess::NotRunning || runs[i]->waitForFinished(60000));
        EXPECT_EQ(runs[i]->exitCode(), 0);
        const std::string page =
            testsupport::readFile(w.dir / ("out" + std::to_string(i) + ".html"));
        EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(page.data() + 2),
                                     static_cast<qsizetype>((page.size() - 2) / 2)),
                  "<html><body>임꺽정" + QString::number(i) + "</body></html>\n");
    }
}

TEST(MainWindow, QtsOwnButtonsSpeakKorean) {
    ASSERT_TRUE(platform::installQtKorean());
    platform::QtPrompt prompt;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        for (QPushButton* button : box->findChildren<QPushButton*>()) {
            buttons.append(button->text().remove(u'&'));
        }
        box->close();
    });
    prompt.message(QStringLiteral("덮어 쓰시겠습니까?"), QStringLiteral("Paperlens"),
                   platform::Icon::Warning, platform::Buttons::YesNoCancel);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"아니요(N)", "예(Y)", "취소"}));
}

int main(int argc, char** argv) {
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    TempDir runtime;
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
