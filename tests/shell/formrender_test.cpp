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
    struct {
        std::string xml, xsl;
        QString startsWith;
    } cases[] = {
        {"", "form.xsl", "서식 데이터(XML) 파일을 찾을 수 없습니다."},
        {"form.xml", "none.xsl", "서식 양식(XSL) 파일을 찾을 수 없습니다."},
        {"form.xml", "bad.xsl", "서식 양식(XSL) 파일을 읽을 수 없습니다: bad.xsl"},
        {"bad.xml", "form.xsl", "서식 데이터(XML) 파일을 읽을 수 없습니다: bad.xml"},
        {"form.xml", "loop.xsl", "서식을 화면으로 변환하지 못했습니다."},
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
