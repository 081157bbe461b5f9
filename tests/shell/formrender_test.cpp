// Finding a form's members and rendering it, against xsltproc as the peer.
#include "formrender.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct Workspace {
    TempDir dir;
    platform::Prefix prefix{q(dir / "prefix")};
    shell::AppState state;
    std::string data = dir / "prefix/workspace/data";
    QString page = prefix.applicationFolder() + "\\temp.html";

    Workspace() {
        EXPECT_TRUE(prefix.ensure());
        QDir().mkpath(q(data));
        state.DataFolder = prefix.applicationFolder() + "\\data\\";
    }
    void put(const std::string& name, const std::string& bytes) {
        testsupport::writeFile(data + "/" + name, bytes);
    }
    shell::RenderResult render(const std::string& xml, const std::string& xsl) {
        state.XmlFileName = q(xml);
        state.XslFileName = q(xsl);
        return shell::transformForm(state, page, prefix);
    }
    // The page as text, after checking its byte-order mark and length.
    QString pageText() {
        std::string bytes = testsupport::readFile(prefix.hostPath(page).toStdString());
        EXPECT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        EXPECT_EQ(bytes.size() % 2, 0u);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                                  static_cast<qsizetype>((bytes.size() - 2) / 2));
    }
};

const std::string kXsl =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/>\n"
    "<xsl:template match=\"/\"><html><body><h1><xsl:value-of select=\"form/name\"/></h1>"
    "<xsl:for-each select=\"form/item\"><p><xsl:value-of select=\".\"/></p></xsl:for-each>"
    "</body></html></xsl:template>\n</xsl:stylesheet>\n";

}  // namespace

TEST(FormMembers, LastMatchInWindowsOrderWinsAndNamesStayWhenMissing) {
    Workspace w;
    w.put("b.xml", "");
    w.put("A.xml", "");
    w.put("form.XSL", "");
    w.put("inner/deep.xsl", "");
    w.state.XslFileName = "earlier.xsl";
    shell::findFormMembers(w.state.DataFolder, w.state, w.prefix);
    EXPECT_EQ(w.state.XmlFileName, "b.xml");
    EXPECT_EQ(w.state.XslFileName, "earlier.xsl");
    w.put("form.xsl", "");
    shell::findFormMembers(w.prefix.applicationFolder() + "\\data", w.state, w.prefix);
    EXPECT_EQ(w.state.XslFileName, "form.xsl");
}

TEST(Render, MatchesXsltprocAndWritesUtf16WithItsMark) {
    Workspace w;
    w.put("form.xsl", kXsl);
    w.put("form.xml",
          "<?xml version=\"1.0\" encoding=\"utf-8\"?><form><name>주민등록표 등본</name>"
          "<item>홍길동 &amp; 가족</item><item>서울</item></form>");
    ASSERT_TRUE(w.render("form.xml", "form.xsl").ok);
    std::string expected;
    ASSERT_EQ(testsupport::run({"xsltproc", w.data + "/form.xsl", w.data + "/form.xml"}, {},
                               &expected),
              0);
    EXPECT_EQ(w.pageText(), q(expected));
}

TEST(Render, MatchesXsltprocInEachEncodingFormsDeclare) {
    const std::string korean = "\xc8\xab\xb1\xe6\xb5\xbf \xc1\xd6\xb9\xce";  // 홍길동 주민, CP949
    for (const char* encoding : {"utf-8", "euc-kr", "ks_c_5601-1987", "cp949"}) {
        Workspace w;
        std::string text = korean;
        if (std::string(encoding) == "utf-8") {
            text = "홍길동 주민";
        }
        std::string xsl = kXsl;
        xsl.replace(xsl.find("utf-8"), 5, encoding);
        xsl.replace(xsl.find("utf-8"), 5, encoding);
        w.put("form.xsl", xsl);
        w.put("form.xml", std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                              "\"?><form><name>" + text + "</name><item>a &lt; b</item></form>");
        ASSERT_TRUE(w.render("form.xml", "form.xsl").ok) << encoding;
        std::string expected;
        ASSERT_EQ(testsupport::run({"sh", "-c",
                                    "xsltproc " + w.data + "/form.xsl " + w.data +
                                        "/form.xml | iconv -f " +
                                        (std::string(encoding) == "utf-8" ? "UTF-8" : "CP949") +
                                        " -t UTF-8"},
                                   {}, &expected),
                  0)
            << encoding;
        // The page is Unicode text; only the charset it names differs.
        QRegularExpression charset(QStringLiteral("charset=[^\"]*"));
        QString ours = w.pageText().replace(charset, "charset=");
        EXPECT_EQ(ours, q(expected).replace(charset, "charset=")) << encoding;
        EXPECT_TRUE(ours.contains(QStringLiteral("홍길동 주민"))) << encoding;
    }
}

TEST(Render, KoreanEncodingsDeclaredByFormsAllLoad) {
    // 똠 exists in CP949 only, not in strict EUC-KR.
    const std::string cp949Text = "\xc8\xab\xb1\xe6\xb5\xbf \x8c\x63";  // 홍길동 똠
    for (const char* encoding : {"euc-kr", "ks_c_5601-1987", "cp949"}) {
        Workspace w;
        std::string xsl = kXsl;
        xsl.replace(xsl.find("utf-8"), 5, encoding);
        w.put("form.xsl", xsl);
        w.put("form.xml", std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                              "\"?><form><name>" + cp949Text + "</name></form>");
        shell::RenderResult r = w.render("form.xml", "form.xsl");
        ASSERT_TRUE(r.ok) << encoding << " " << r.message.toStdString();
        EXPECT_TRUE(w.pageText().contains(QStringLiteral("<h1>홍길동 똠</h1>"))) << encoding;
    }
}

TEST(Render, FailuresNameWhatFailedAndWriteNoPage) {
    Workspace w;
    w.put("form.xsl", kXsl);
    w.put("bad.xsl", "<xsl:stylesheet");
    w.put("form.xml", "<form><name>x</name></form>");
    w.put("bad.xml", "<form>");
    w.put("loop.xsl",
          "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
          "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop</xsl:message>"
          "</xsl:template></xsl:stylesheet>");
    w.put("nothing.xsl",
          "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
          "<xsl:template match=\"/\"/></xsl:stylesheet>");
    struct {
        std::string xml, xsl;
        QString startsWith;
    } cases[] = {
        {"", "form.xsl", "서식 데이터(XML) 파일을 찾을 수 없습니다."},
        {"form.xml", "none.xsl", "서식 양식(XSL) 파일을 찾을 수 없습니다."},
        {"form.xml", "bad.xsl", "서식 양식(XSL) 파일을 읽을 수 없습니다: bad.xsl"},
        {"bad.xml", "form.xsl", "서식 데이터(XML) 파일을 읽을 수 없습니다: bad.xml"},
        {"form.xml", "loop.xsl", "서식을 화면으로 변환하지 못했습니다."},
        {"form.xml", "nothing.xsl", "서식을 화면으로 변환하지 못했습니다."},
    };
    for (const auto& c : cases) {
        shell::RenderResult r = w.render(c.xml, c.xsl);
        EXPECT_FALSE(r.ok) << c.xml << " " << c.xsl;
        EXPECT_EQ(r.message, c.startsWith);
        EXPECT_FALSE(testsupport::exists(w.prefix.hostPath(w.page).toStdString()));
    }
}

TEST(Render, TheStylesheetCannotReachOutsideTheWorkingFolder) {
    Workspace w;
    testsupport::writeFile(w.dir / "secret.txt", "<s>TOPSECRET</s>");
    w.put("other.xml", "<o>INSIDE</o>");
    const std::string outside = w.dir / "secret.txt";
    const std::string written = w.dir / "written.txt";
    auto stylesheet = [](const std::string& body) {
        return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
               " xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
               "<xsl:template match=\"/\"><r>" + body + "</r></xsl:template></xsl:stylesheet>";
    };
    // Files of the working folder are read; an external entity is not.
    w.put("form.xsl", stylesheet("<xsl:value-of select=\"document('other.xml')\"/>"
                                 "<xsl:value-of select=\"form/e\"/>"));
    w.put("form.xml", "<!DOCTYPE form [<!ENTITY x SYSTEM \"file://" + outside +
                          "\">]><form><e>&x;</e></form>");
    ASSERT_TRUE(w.render("form.xml", "form.xsl").ok);
    QString page = w.pageText();
    EXPECT_TRUE(page.contains("INSIDE")) << page.toStdString();
    EXPECT_FALSE(page.contains("TOPSECRET")) << page.toStdString();
    QFile::remove(w.prefix.hostPath(w.page));

    // A stylesheet that reads outside the folder is refused as a whole.
    w.put("read.xsl", stylesheet("<xsl:value-of select=\"document('" + outside + "')\"/>"));
    EXPECT_FALSE(w.render("form.xml", "read.xsl").ok);
    EXPECT_FALSE(testsupport::exists(w.prefix.hostPath(w.page).toStdString()));

    w.put("write.xsl",
          "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
          " xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
          "<xsl:template match=\"/\"><exsl:document href=\"" + written +
          "\"><x/></exsl:document></xsl:template></xsl:stylesheet>");
    EXPECT_FALSE(w.render("form.xml", "write.xsl").ok);
    EXPECT_FALSE(testsupport::exists(written));
}

namespace {

const std::string kStylesheetOpen =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/>";

std::string laughs() {
    std::string dtd = "<!DOCTYPE form [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 12; ++i) {
        dtd += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) {
            dtd += "&l" + std::to_string(i - 1) + ";";
        }
        dtd += "\">";
    }
    return dtd + "]><form>&l12;</form>";
}

}  // namespace

TEST(Render, RunawayStylesheetsEndWithAMessageAndNoPage) {
    struct {
        const char* what;
        std::string xml;
        std::string xsl;
        const char* says;
    } cases[] = {
        {"a template that calls itself for ever", "<form/>",
         kStylesheetOpen + "<xsl:template match=\"/\"><xsl:call-template name=\"again\"/>"
                           "</xsl:template><xsl:template name=\"again\"><x><xsl:call-template "
                           "name=\"again\"/></x></xsl:template></xsl:stylesheet>",
         "템플릿이 한도"},
        {"a string doubled 40 times", "<form>ab</form>",
         kStylesheetOpen + "<xsl:template match=\"/\"><xsl:call-template name=\"double\"><xsl:with-param "
                           "name=\"s\" select=\"string(form)\"/><xsl:with-param name=\"n\" "
                           "select=\"40\"/></xsl:call-template></xsl:template><xsl:template "
                           "name=\"double\"><xsl:param name=\"s\"/><xsl:param name=\"n\"/><xsl:choose>"
                           "<xsl:when test=\"$n = 0\"><xsl:value-of select=\"string-length($s)\"/>"
                           "</xsl:when><xsl:otherwise><xsl:call-template name=\"double\"><xsl:with-param "
                           "name=\"s\" select=\"concat($s, $s)\"/><xsl:with-param name=\"n\" "
                           "select=\"$n - 1\"/></xsl:call-template></xsl:otherwise></xsl:choose>"
                           "</xsl:template></xsl:stylesheet>",
         "메모리가 한도"},
        {"every node against every node, five deep",
         "<form>" + [] {
             std::string items;
             for (int i = 0; i < 200; ++i) {
                 items += "<i>" + std::to_string(i) + "</i>";
             }
             return items;
         }() + "</form>",
         kStylesheetOpen + "<xsl:template match=\"/\"><xsl:value-of select=\"count(//i[count(//i[count(//i"
                           "[count(//i[count(//i) > 0]) > 0]) > 0]) > 0])\"/></xsl:template>"
                           "</xsl:stylesheet>",
         "계산이 한도"},
        {"a billion laughs in the form data", laughs(),
         kStylesheetOpen + "<xsl:template match=\"/\"><xsl:value-of select=\"form\"/></xsl:template>"
                           "</xsl:stylesheet>",
         "서식 데이터(XML) 파일을 읽을 수 없습니다"},
    };
    for (const auto& c : cases) {
        Workspace w;
        w.put("form.xml", c.xml);
        w.put("form.xsl", c.xsl);
        const shell::RenderResult result = w.render("form.xml", "form.xsl");
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_TRUE(result.message.contains(QString::fromUtf8(c.says)))
            << c.what << ": " << result.message.toStdString();
        EXPECT_FALSE(QFileInfo::exists(w.prefix.hostPath(w.page))) << c.what;
    }
}

namespace {

const std::string kMsxslOpen =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
    "xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\" xmlns:user=\"urn:paperlens-test\" "
    "exclude-result-prefixes=\"msxsl user\"><xsl:output method=\"html\" encoding=\"utf-8\"/>";

std::string script(const std::string& language, const std::string& code) {
    return "<msxsl:script language=\"" + language + "\" implements-prefix=\"user\"><![CDATA[" +
           code + "]]></msxsl:script>";
}

// The page text paperlens-cli writes for a receipt of these two members.
QString cliPage(const std::string& dir, const std::string& xml, const std::string& xsl) {
    testsupport::writeFile(dir + "/cli/form.xml", xml);
    testsupport::writeFile(dir + "/cli/form.xsl", xsl);
    std::remove((dir + "/cli.rcp").c_str());
    std::remove((dir + "/cli.html").c_str());
    EXPECT_EQ(testsupport::run({"sh", "-c", "cd \"$0\" && zip -q ../cli.rcp form.xml form.xsl",
                                dir + "/cli"}),
              0);
    ::setenv("PAPERLENS_PREFIX", (dir + "/cli-prefix").c_str(), 1);
    if (testsupport::run({PAPERLENS_CLI, "open", dir + "/cli.rcp", "--out", dir + "/cli.html"}) != 0) {
        return QStringLiteral("(paperlens-cli failed)");
    }
    const std::string page = testsupport::readFile(dir + "/cli.html");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(page.data() + 2),
                              static_cast<qsizetype>((page.size() - 2) / 2));
}

}  // namespace

TEST(Render, PagesAreWhatTheFormsAuthorsSaw) {
    struct {
        const char* what;
        std::string xml, xsl;
        const char* expected;  // nullptr: what xsltproc writes
    } cases[] = {
        {"an entity the stylesheet declares", "<form/>",
         "<!DOCTYPE xsl:stylesheet [<!ENTITY nbsp \"&#160;\">]>" + kStylesheetOpen +
             "<xsl:template match=\"/\"><p>A&nbsp;B</p></xsl:template></xsl:stylesheet>",
         nullptr},
        {"an entity in the form data, copied",
         "<!DOCTYPE form [<!ENTITY who \"홍길동\">]><form><n>&who;</n></form>",
         kStylesheetOpen + "<xsl:template match=\"/\"><div><xsl:copy-of select=\"form/n\"/></div>"
                           "</xsl:template></xsl:stylesheet>",
         nullptr},
        {"a DTD default attribute",
         "<!DOCTYPE form [<!ATTLIST form kind CDATA \"등본\">]><form/>",
         kStylesheetOpen + "<xsl:template match=\"/\"><p><xsl:value-of select=\"form/@kind\"/></p>"
                           "</xsl:template></xsl:stylesheet>",
         nullptr},
        {"node-set of a variable built of elements", "<form/>",
         kMsxslOpen + "<xsl:variable name=\"rows\"><r>1</r><r>2</r><r>3</r></xsl:variable>"
                      "<xsl:template match=\"/\"><p><xsl:for-each select=\"msxsl:node-set($rows)/r\">"
                      "<xsl:value-of select=\".\"/>;</xsl:for-each><xsl:value-of select=\"count("
                      "msxsl:node-set($rows)/r)\"/></p></xsl:template></xsl:stylesheet>",
         "<p>1;2;3;3</p>\n"},
        {"node-set of a variable built of text", "<form/>",
         kMsxslOpen + "<xsl:variable name=\"t\">주민등록</xsl:variable><xsl:template match=\"/\"><p>"
                      "<xsl:value-of select=\"msxsl:node-set($t)\"/>/<xsl:value-of select=\"msxsl:"
                      "node-set('표')\"/></p></xsl:template></xsl:stylesheet>",
         "<p>주민등록/표</p>\n"},
        {"JScript functions of strings, numbers and node-sets",
         "<form><item code=\"A\">사과</item><item code=\"B\">배</item></form>",
         kMsxslOpen +
             script("JScript",
                    "function pad(s, n) { while (s.length < n) { s = '0' + s; } return s; }\n"
                    "function twice(x) { return x * 2; }\n"
                    "function codes(list) { var out = []; var node; "
                    "while ((node = list.nextNode()) != null) { out.push(node.getAttribute('code') "
                    "+ '=' + node.text); } return out.join(',') + '/' + list.length; }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:pad('7', 3)\"/>|"
             "<xsl:value-of select=\"user:twice(21) + 1\"/>|<xsl:value-of select=\"user:codes("
             "form/item)\"/></p></xsl:template></xsl:stylesheet>",
         "<p>007|43|A=사과,B=배/2</p>\n"},
        {"a script beside node-set, which libxslt finds through its own lookup", "<form/>",
         kMsxslOpen + script("JScript", "function one() { return 1; }") +
             "<xsl:variable name=\"rows\"><r>1</r><r>2</r></xsl:variable><xsl:template match=\"/\">"
             "<p><xsl:value-of select=\"user:one() + count(msxsl:node-set($rows)/r)\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "<p>3</p>\n"},
        {"whitespace the forms' engine drops",
         "<form>\n  <a/>\n  <b>x</b>\n  <c xml:space=\"preserve\"> </c>\n</form>",
         kStylesheetOpen + "<xsl:template match=\"/\"><p><xsl:for-each select=\"form/node()\">"
                           "<xsl:value-of select=\"position()\"/>:<xsl:value-of select=\"name()\"/>"
                           ";</xsl:for-each><xsl:value-of select=\"count(form/c/node())\"/></p>"
                           "</xsl:template></xsl:stylesheet>",
         "<p>1:a;2:b;3:c;1</p>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace w;
        w.put("form.xml", c.xml);
        w.put("form.xsl", c.xsl);
        const shell::RenderResult result = w.render("form.xml", "form.xsl");
        ASSERT_TRUE(result.ok) << result.message.toStdString();
        QString expected = QString::fromUtf8(c.expected);
        if (c.expected == nullptr) {
            std::string reference;
            ASSERT_EQ(testsupport::run({"xsltproc", w.data + "/form.xsl", w.data + "/form.xml"}, {},
                                       &reference),
                      0);
            expected = QString::fromStdString(reference);
        }
        EXPECT_EQ(w.pageText(), expected);
        EXPECT_EQ(cliPage(w.dir.path(), c.xml, c.xsl), expected);
    }
}

TEST(Render, ScriptsThatCannotRunEndThePageWithTheirName) {
    struct {
        const char* what;
        std::string xsl;
        const char* says;
    } cases[] = {
        {"a script that throws",
         kMsxslOpen + script("javascript", "function broken(s) { throw new Error('no ' + s); }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:broken('way')\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "user:broken"},
        {"a script in another language",
         kMsxslOpen + script("VBScript", "Function Greet(s)\nGreet = \"hi \" & s\nEnd Function") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:Greet('x')\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "user:Greet"},
        {"a script in another language, given a node-set (found by fuzzing)",
         kMsxslOpen + script("JScr!pt", "function f(s, n, l) { return s + n + l.length; }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:f('a', 2, /*)\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "user:f"},
        {"a function the script does not define",
         kMsxslOpen + script("JScript", "function one() { return 1; }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:two()\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "user:two"},
        {"a script that never ends",
         kMsxslOpen + script("JScript", "function spin() { for (;;) {} }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:spin()\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "시간이 한도"},
        {"a script that reaches for the host",
         kMsxslOpen + script("JScript", "function host() { return new ActiveXObject('x'); }") +
             "<xsl:template match=\"/\"><p><xsl:value-of select=\"user:host()\"/></p>"
             "</xsl:template></xsl:stylesheet>",
         "ActiveXObject"},
    };
    // The script that never ends is stopped when the time is up.
    ::setenv("PAPERLENS_RENDER_SECONDS", "2", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace w;
        w.put("form.xml", "<form/>");
        w.put("form.xsl", c.xsl);
        const shell::RenderResult result = w.render("form.xml", "form.xsl");
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.message.contains(QString::fromUtf8(c.says))) << result.message.toStdString();
        EXPECT_FALSE(QFileInfo::exists(w.prefix.hostPath(w.page)));
    }
    ::unsetenv("PAPERLENS_RENDER_SECONDS");
}

TEST(Render, IncludesImportsAndDocumentsUnderAnyPrefixPath) {
    TempDir dir;
    // A Korean user name with a blank in the home folder.
    const std::string base = dir / "홍 길동/.local";
    platform::Prefix prefix(q(base + "/paperlens"));
    ASSERT_TRUE(prefix.ensure());
    const std::string data = base + "/paperlens/workspace/data";
    testsupport::writeFile(data + "/form.xml", "<form><code>2</code></form>");
    testsupport::writeFile(data + "/codes.xml", "<codes><c n=\"1\">하나</c><c n=\"2\">둘</c></codes>");
    testsupport::writeFile(base + "/outside.xml", "<codes><c n=\"2\">밖</c></codes>");
    testsupport::writeFile(data + "/base.xsl",
                           kStylesheetOpen + "<xsl:template name=\"from-import\">[import]"
                                             "</xsl:template></xsl:stylesheet>");
    testsupport::writeFile(data + "/part.xsl",
                           kStylesheetOpen + "<xsl:template name=\"from-include\">[include]"
                                             "</xsl:template></xsl:stylesheet>");
    testsupport::writeFile(
        data + "/form.xsl",
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
        "<xsl:import href=\"base.xsl\"/><xsl:include href=\"part.xsl\"/>"
        "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><p>"
        "<xsl:call-template name=\"from-import\"/><xsl:call-template name=\"from-include\"/>"
        "<xsl:value-of select=\"document('codes.xml')/codes/c[@n = current()/form/code]\"/>"
        "</p></xsl:template></xsl:stylesheet>");
    testsupport::writeFile(data + "/outside.xsl",
                           kStylesheetOpen + "<xsl:template match=\"/\"><xsl:value-of select=\""
                                             "document('../../../outside.xml')\"/></xsl:template>"
                                             "</xsl:stylesheet>");
    shell::AppState state;
    state.DataFolder = prefix.applicationFolder() + "\\data\\";
    state.XmlFileName = "form.xml";
    state.XslFileName = "form.xsl";
    const QString page = prefix.applicationFolder() + "\\temp.html";
    const shell::RenderResult result = shell::transformForm(state, page, prefix);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    const std::string bytes = testsupport::readFile(prefix.hostPath(page).toStdString());
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                                 static_cast<qsizetype>((bytes.size() - 2) / 2)),
              "<p>[import][include]둘</p>\n");
    // A document() outside the working folder stays refused.
    state.XslFileName = "outside.xsl";
    EXPECT_FALSE(shell::transformForm(state, page, prefix).ok);
}

// A page that cannot be written is a message naming it, and leaves no
// half-written file behind.
TEST(Render, APageThatCannotBeWrittenIsAMessage) {
    Workspace w;
    w.put("form.xsl", kXsl);
    w.put("form.xml", "<form><name>x</name></form>");
    w.state.XmlFileName = QStringLiteral("form.xml");
    w.state.XslFileName = QStringLiteral("form.xsl");
    const QString page = w.prefix.applicationFolder() + QStringLiteral("\\gone\\temp.html");
    const shell::RenderResult r = shell::transformForm(w.state, page, w.prefix);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QStringLiteral("화면 파일을 쓸 수 없습니다: ") + page);
    EXPECT_FALSE(testsupport::exists(w.prefix.hostPath(page).toStdString()));
}
