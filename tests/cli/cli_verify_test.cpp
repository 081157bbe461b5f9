// paperlens-cli verify against documents made by openssl cms: who may
// sign, what a document must be made of, and what the user is told of its
// signer, compared with what openssl says of the same document.
#include "fixtures.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QString>

#include <cstdlib>

using testsupport::TempDir;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

constexpr const char* kPassword = "1234qwer!";

void sh(const std::string& script) {
    ASSERT_EQ(testsupport::run({"sh", "-c", script}), 0) << script;
}

struct World {
    TempDir dir;
    std::string w = dir / "world";
    fixtures::World world = fixtures::writeWorld(w, kPassword);
    std::string root = dir / "prefix";
    std::string pem = dir / "pem";

    World() {
        ::setenv("PAPERLENS_PREFIX", root.c_str(), 1);
        sh("mkdir -p '" + root + "/workspace' '" + pem + "' && cp -r '" + w + "/pki' '" + root +
           "/workspace/'");
        // Signers in PEM for openssl: the authority's, a citizen's (the
        // forger), and one whose certificate may only encipher keys.
        fixtures::writeCertPem(pem + "/signer.pem", world.signer.cert);
        fixtures::writeKey(pem + "/signer.key", world.signer.key, "", fixtures::KeyScheme::PemPkcs8);
        fixtures::writeCertPem(pem + "/kim.pem", world.kim.sign.cert);
        fixtures::writeKey(pem + "/kim.key", world.kim.sign.key, "", fixtures::KeyScheme::PemPkcs8);
        fixtures::CertSpec enciphering{"cn=Norvale Key Service,ou=Documents,o=yessign,c=kr", false,
                                       20};
        enciphering.keyUsage = "keyEncipherment";
        const fixtures::Identity keyOnly = fixtures::makeIdentity(enciphering, &world.agencyCa);
        fixtures::writeCertPem(pem + "/keyonly.pem", keyOnly.cert);
        fixtures::writeKey(pem + "/keyonly.key", keyOnly.key, "", fixtures::KeyScheme::PemPkcs8);
        fixtures::writeCertPem(pem + "/hong.pem", world.hong.sign.cert);
        testsupport::writeFile(dir / "form.xml", "<form><name>홍길동</name></form>\n");
        testsupport::writeFile(dir / "form.xsl",
                               "<xsl:stylesheet version=\"1.0\" "
                               "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                               "match=\"/\"><p><xsl:value-of select=\"form/name\"/></p>"
                               "</xsl:template></xsl:stylesheet>");
    }

    // The workspace's npkiconf.ini, with a [signers] section as given.
    void configure(const std::vector<std::string>& certs, const std::vector<std::string>& policies) {
        sh("mkdir -p '" + root + "/workspace/signers' && cp '" + w + "/issuer/signer.der' '" + root +
           "/workspace/signers/agency.der'");
        fixtures::writeTrustConfig(root + "/workspace/npkiconf.ini", {"pki/root.der"},
                                   {"pki/ca.der", "pki/agency-ca.der"}, true, certs, policies);
    }

    // An issued document for hong made by openssl: signed by `signer` with
    // `signOptions`, enveloped with `cipher`.
    std::string document(const std::string& name, const std::string& signer,
                         const std::string& signOptions = "-md sha256",
                         const std::string& cipher = "-aes256") {
        const std::string work = dir / ("doc-" + name);
        sh("mkdir -p '" + work + "/zip' && cd '" + work + "' && openssl cms -sign -binary -nodetach " +
           signOptions + " -in '" + dir / "form.xml" + "' -signer '" + pem + "/" + signer +
           ".pem' -inkey '" + pem + "/" + signer + ".key' -outform DER -out signed.der && " +
           "openssl cms -encrypt -binary -provider legacy -provider default " + cipher +
           " -in signed.der -outform DER -out zip/form.xml '" + pem + "/hong.pem' && cp '" +
           dir / "form.xsl" + "' zip/ && cd zip && zip -q ../" + name + " form.xml form.xsl");
        return work + "/" + name;
    }

    // paperlens-cli verify --json; the object it printed.
    QJsonObject verify(const std::string& document, int* status) {
        std::string output;
        *status = testsupport::run({PAPERLENS_CLI, "verify", document, "--cert", w + "/users/hong",
                                    "--password-stdin", "--json"},
                                   std::string(kPassword) + "\n", &output);
        // Messages go to standard error, which run() merges: the object is
        // what starts at the first "{".
        const size_t brace = output.find('{');
        return brace == std::string::npos
                   ? QJsonObject()
                   : QJsonDocument::fromJson(QByteArray::fromStdString(output.substr(brace))).object();
    }
};

}  // namespace

TEST(Authenticity, OnlyAnAllowedSignerMakesADocumentGenuine) {
    World t;
    const std::string genuine = t.document("genuine.kvx", "signer");
    const std::string forged = t.document("forged.kvx", "kim");
    struct {
        const char* what;
        std::vector<std::string> certs, policies;
        std::string document;
        int status;
        const char* allowedBy;
    } cases[] = {
        {"no [signers]: the forgery passes as before", {}, {}, forged, 0, "none"},
        {"no [signers]: the authority", {}, {}, genuine, 0, "none"},
        {"by cert: the authority", {"signers/agency.der"}, {}, genuine, 0, "cert"},
        {"by cert: the forgery", {"signers/agency.der"}, {}, forged, 70110, "none"},
        {"by policy: the authority", {}, {fixtures::kAgencyPolicy}, genuine, 0, "policy"},
        {"by policy: the forgery", {}, {fixtures::kAgencyPolicy}, forged, 70110, "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.certs.empty() && c.policies.empty()) {
            fixtures::writeTrustConfig(t.root + "/workspace/npkiconf.ini", {"pki/root.der"},
                                       {"pki/ca.der", "pki/agency-ca.der"}, true);
        } else {
            t.configure(c.certs, c.policies);
        }
        int status = -1;
        const QJsonObject result = t.verify(c.document, &status);
        EXPECT_EQ(status, c.status == 0 ? 0 : 1);
        EXPECT_EQ(result.value("status").toInt(), c.status);
        EXPECT_EQ(result.value("allowedBy").toString(), c.allowedBy);
        if (c.status != 0) {
            EXPECT_EQ(result.value("message").toString(),
                      "전자서명검증에러 [70110] 허용된 발급기관의 서명이 아닙니다..!!!");
        }
    }
}

TEST(Authenticity, WeakOrWrongFormsAreRefusedWithTheirMessage) {
    World t;
    t.configure({}, {});
    struct {
        const char* what;
        std::string document;
        int status;
        const char* message;
    } cases[] = {
        {"a signer that may not sign", t.document("keyonly.kvx", "keyonly"), 71214,
         "전자서명검증에러 [71214] 전자서명 검증 에러[서명용 인증서가 아닙니다]..!!!"},
        {"an MD5 digest", t.document("md5.kvx", "signer", "-md md5"), 71213,
         "전자서명검증에러 [71213] 전자서명 검증 에러[허용되지 않는 해시 알고리즘입니다]..!!!"},
        {"content that is not id-data",
         t.document("type.kvx", "signer", "-md sha256 -econtent_type 1.2.840.113549.1.9.16.1.4"),
         71205, "전자서명검증에러 [71205] 전자서명 원문 추출 에러[잘못된 원문 메시지입니다]..!!!"},
        {"a single-DES envelope", t.document("des.kvx", "signer", "-md sha256", "-des"), 70808,
         "복호화에러 [70808] 암호화 에러[허용되지 않는 암호 알고리즘입니다]..!!!"},
        {"a 3DES envelope is still allowed", t.document("des3.kvx", "signer", "-md sha1", "-des3"),
         0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int status = -1;
        const QJsonObject result = t.verify(c.document, &status);
        EXPECT_EQ(result.value("status").toInt(), c.status);
        EXPECT_EQ(result.value("message").toString(), QString::fromUtf8(c.message));
        EXPECT_EQ(status, c.status == 0 ? 0 : 1);
    }
}

TEST(Authenticity, AFreshInstallationSaysWhereTheRootsBelong) {
    World t;
    // The shipped layout: a top folder that is still empty.
    sh("mkdir -p '" + t.root + "/workspace/roots'");
    fixtures::writeTrustConfig(t.root + "/workspace/npkiconf.ini", {"roots"},
                               {"pki/ca.der", "pki/agency-ca.der"}, true);
    int status = -1;
    const QJsonObject result = t.verify(t.document("doc.kvx", "signer"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(result.value("status").toInt(), 70101);
    EXPECT_EQ(result.value("message").toString(),
              "전자서명검증에러 [70101] 신뢰하는 최상위 인증서가 설치되지 않았습니다..!!!\r\n"
              "최상위 인증서를 설치할 폴더: " + q(t.root + "/workspace/roots"));
}

namespace {

// "Dec  1 15:42:47 2026 GMT" as ISO 8601.
QString isoOf(QString opensslTime) {
    opensslTime = opensslTime.simplified().remove(QStringLiteral(" GMT"));
    QDateTime when = QLocale::c().toDateTime(opensslTime, QStringLiteral("MMM d HH:mm:ss yyyy"));
    when.setTimeSpec(Qt::UTC);
    return when.toString(Qt::ISODate);
}

QString field(const QString& text, const QString& pattern) {
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

}  // namespace

TEST(Authenticity, TheFactsAreWhatOpensslSaysOfTheSameDocument) {
    World t;
    t.configure({}, {fixtures::kAgencyPolicy});
    const std::string document = t.document("doc.kvx", "signer", "-md sha384");
    int status = -1;
    const QJsonObject result = t.verify(document, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(result.keys(), (QStringList{"allowedBy", "chain", "digest", "message", "signer",
                                          "signingTime", "status"}));

    std::string x509;
    ASSERT_EQ(testsupport::run({"openssl", "x509", "-noout", "-subject", "-serial", "-dates",
                                "-nameopt", "RFC2253", "-in", t.pem + "/signer.pem"},
                               {}, &x509),
              0);
    const QString x = q(x509);
    const QJsonObject signer = result.value("signer").toObject();
    // Our names: the same components, lower-case labels.
    QString subject = field(x, "subject=(.*)");
    subject.replace(QRegularExpression("(^|,)([A-Z]+)="), "\\1\\2=");
    for (const char* label : {"CN=", "OU=", "O=", "C="}) {
        subject.replace(QString::fromLatin1(label), QString::fromLatin1(label).toLower());
    }
    EXPECT_EQ(signer.value("subject").toString(), subject);
    bool ok = false;
    EXPECT_EQ(signer.value("serial").toString(),
              QString::number(field(x, "serial=(\\w+)").toULongLong(&ok, 16)));
    EXPECT_EQ(signer.value("notBefore").toString(), isoOf(field(x, "notBefore=(.*)")));
    EXPECT_EQ(signer.value("notAfter").toString(), isoOf(field(x, "notAfter=(.*)")));

    // The signed message itself, as openssl prints it.
    const std::string work = t.dir / "doc-doc.kvx";
    std::string cms;
    ASSERT_EQ(testsupport::run({"openssl", "cms", "-cmsout", "-print", "-inform", "DER", "-in",
                                work + "/signed.der"},
                               {}, &cms),
              0);
    const QString c = q(cms);
    EXPECT_EQ(result.value("digest").toString(),
              field(c, "digestAlgorithm:\\s*\\n\\s*algorithm: (\\w+)"));
    EXPECT_EQ(result.value("signingTime").toString(), isoOf(field(c, "UTCTIME:(.*)")));
    EXPECT_EQ(result.value("chain").toArray().toVariantList(),
              (QVariantList{"cn=Norvale Issuing Service,ou=Documents,o=yessign,c=kr",
                            "cn=Norvale Issuing CA,ou=Documents,o=yessign,c=kr",
                            "cn=Paperlens Test Root CA,ou=Test,o=Paperlens,c=kr"}));
    EXPECT_EQ(result.value("allowedBy").toString(), "policy");
    EXPECT_EQ(result.value("message").toString(), "");
}
