// The certificate list: grid rows and slots in step, names and issuers.
#include "certworld.h"

#include <gtest/gtest.h>

using certtest::PrefixWorld;
using certtest::q;

namespace {

std::string put(PrefixWorld& w, const std::string& name, const std::string& subject) {
    const std::string path = w.dir / name;
    testsupport::writeFile(path, certtest::certDer(subject, certtest::issuers().yessign));
    return path;
}

}  // namespace

TEST(CertificateList, ClearLeavesTheHeaderAndOneBlankRow) {
    for (int rows : {7, 2}) {
        SCOPED_TRACE(rows);
        PrefixWorld w;
        certificates::MemoryGrid grid(4695, rows);
        certificates::CertificateList list(grid, w.prefix, w.sealkit);
        list.certCount = 5;
        list.signCertPath[3] = QStringLiteral("kept");
        list.clearCertification();
        EXPECT_EQ(grid.rowCount(), 2);
        EXPECT_EQ(grid.text(0, 0), QStringLiteral("사용자"));
        EXPECT_EQ(grid.text(0, 1), QStringLiteral("발급자"));
        EXPECT_EQ(grid.text(1, 0), QStringLiteral(" "));
        EXPECT_EQ(grid.text(1, 1), QStringLiteral(" "));
        EXPECT_EQ(grid.currentRow(), 1);
        EXPECT_EQ(grid.currentColumn(), 1);
        EXPECT_EQ(list.certCount, 0);
        EXPECT_EQ(list.signCertPath[3], QStringLiteral("kept"));  // slots are not touched
    }
}

TEST(CertificateList, ColumnWidthsRoundHalvesToEven) {
    struct Case {
        int width, first, second;
    } cases[] = {{4695, 2348, 2042}, {4697, 2348, 2042}, {4694, 2347, 2041}, {4699, 2350, 2044}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        PrefixWorld w;
        certificates::MemoryGrid grid(c.width);
        certificates::CertificateList list(grid, w.prefix, w.sealkit);
        list.layoutCertColumns();
        EXPECT_EQ(grid.columnWidth(0), c.first);
        EXPECT_EQ(grid.columnWidth(1), c.second);
    }
}

TEST(CertificateList, FirstEntryFillsRowOneAndLaterEntriesAppend) {
    PrefixWorld w;
    w.list.clearCertification();
    const std::string a = put(w, "a.der", "cn=user01,ou=personal,o=yessign,c=kr");
    const std::string b = put(w, "b.der", "cn=홍길동()0001,ou=TESTBANK,o=yessign,c=kr");
    w.list.addCertificateEntry(q(a), "a.key", "a.km", "a.kmkey", 0);
    EXPECT_EQ(w.grid.rowCount(), 2);
    EXPECT_EQ(w.grid.text(1, 0), QStringLiteral("user01"));
    EXPECT_EQ(w.grid.text(1, 1), QStringLiteral("금융결제원"));
    EXPECT_TRUE(w.grid.selected(1, 0) && w.grid.selected(1, 1));
    w.list.addCertificateEntry(q(b), "b.key", "b.km", "b.kmkey", 1);
    ASSERT_EQ(w.grid.rowCount(), 3);
    EXPECT_EQ(w.grid.text(2, 0), QStringLiteral("홍길동()0001"));
    EXPECT_EQ(w.list.certCount, 2);
    EXPECT_EQ(w.list.signCertPath[1], q(a));
    EXPECT_EQ(w.list.signKeyPath[1], QStringLiteral("a.key"));
    EXPECT_EQ(w.list.kmCertPath[2], QStringLiteral("b.km"));
    EXPECT_EQ(w.list.kmKeyPath[2], QStringLiteral("b.kmkey"));
    EXPECT_EQ(w.list.govCertFlag[1], 0);
    EXPECT_EQ(w.list.govCertFlag[2], 1);
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(CertificateList, SkipsWhatCannotBeReadAndStopsAtFifty) {
    PrefixWorld w;
    w.list.clearCertification();
    testsupport::writeFile(w.dir / "junk.der", "not a certificate");
    w.list.addCertificateEntry(q(w.dir / "missing.der"), "", "", "", 0);
    w.list.addCertificateEntry(q(w.dir / "junk.der"), "", "", "", 0);
    EXPECT_EQ(w.list.certCount, 0);
    EXPECT_EQ(w.grid.text(1, 0), QStringLiteral(" "));

    const std::string a = put(w, "a.der", "cn=user01,o=yessign,c=kr");
    for (int i = 0; i < 51; ++i) {
        w.list.addCertificateEntry(q(a), QString::number(i), "", "", 0);
    }
    EXPECT_EQ(w.list.certCount, 50);
    EXPECT_EQ(w.grid.rowCount(), 51);  // the header and fifty entries, each with its slot
    EXPECT_EQ(w.list.signKeyPath[50], QStringLiteral("49"));
    EXPECT_TRUE(w.prompt.shown.empty());
}

TEST(CertificateList, SubjectWhoseFirstCommaIsFourthIsListedEmpty) {
    PrefixWorld w;
    w.list.clearCertification();
    const std::string a = put(w, "a.der", "o=x,c=kr");
    w.list.addCertificateEntry(q(a), "", "", "", 0);
    EXPECT_EQ(w.list.certCount, 1);
    EXPECT_EQ(w.grid.text(1, 0), QString());
}

TEST(Names, DisplayValueIsTheFirstComponentsValue) {
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {
        {"cn=user01,ou=personal,o=yessign,c=kr", "user01"},
        {"cn=yessignCA Class 2,ou=AccreditedCA", "yessignCA Class 2"},
        {"o=x,c=kr", ""},
        {"cn=no comma", "no comma"},
        {"cn=", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(certificates::nameDisplayValue(QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.value))
            << c.name;
    }
}

TEST(Names, IssuerTableMatchesPrefixesInOrder) {
    struct Case {
        const char* issuer;
        const char* display;
    } cases[] = {
        {"yessignCA Class 2", "금융결제원"},
        {"YESSIGNCA", "금융결제원"},
        {"NPKI yessign", "알 수 없음"},
        {"ncasignCA", "한국전산원"},
        {"SignGATE CA4", "한국정보인증"},
        {"SignKorea CA", "한국증권전산"},
        {"CrossCertCA2", "한국전자인증"},
        {"KISA RootCA 1", "한국정보보호진흥원"},
        {"kis", "알 수 없음"},
        {"ca907000004 class 2", "Tessaran"},
        {"", "알 수 없음"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(certificates::getCAName(QString::fromUtf8(c.issuer)),
                  QString::fromUtf8(c.display))
            << c.issuer;
    }
}

TEST(SealkitBinding, MissingLibraryOrFunctionIsReportedOnceAndListsNothing) {
    struct Case {
        const char* library;
        const char* says;
    } cases[] = {
        {"/nonexistent/libSealkit.so", "불러올 수 없습니다"},
        {"libm.so.6", "getCertInfo2 함수가 없습니다"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        PrefixWorld w;
        platform::SealkitBinding binding(w.prompt, QString::fromUtf8(c.library));
        certificates::CertificateList list(w.grid, w.prefix, binding);
        list.clearCertification();
        const std::string a = put(w, "a.der", "cn=user01,o=yessign,c=kr");
        for (int i = 0; i < 3; ++i) {
            list.addCertificateEntry(q(a), "", "", "", 0);
        }
        EXPECT_EQ(list.certCount, 0);
        ASSERT_EQ(w.prompt.shown.size(), 1u);
        EXPECT_TRUE(w.prompt.shown[0].text.contains(QString::fromUtf8(c.says)))
            << w.prompt.shown[0].text.toStdString();
    }
}
