// A prefix with certificates in three places (the registry, the NPKI
// folder, a class-2 set on drive C), trust configurations in the
// workspace, and issued documents made with openssl cms and zip.
#pragma once

#include "fixtures.h"
#include "testsupport.h"

#include <QString>

#include <cstdlib>
#include <string>

namespace unsealtest {

constexpr const char* kPassword = "1234qwer!";

inline QString q(const std::string& s) { return QString::fromStdString(s); }

// The form every document holds, with Korean text.
inline std::string formXml() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<form><title>주민등록표 등본</title>"
           "<name>홍길동</name></form>\n";
}

inline const char kFormXsl[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"html\" encoding=\"utf-8\"/><xsl:template match=\"/\"><html><body>"
    "<h1><xsl:value-of select=\"form/title\"/></h1><p><xsl:value-of select=\"form/name\"/></p>"
    "</body></html></xsl:template></xsl:stylesheet>";

struct UnsealWorld {
    testsupport::TempDir dir;
    std::string world = dir / "world";
    fixtures::World w = fixtures::writeWorld(world, kPassword);
    std::string root = dir / "prefix";
    std::string app = root + "/workspace";

    // `certificates`: put hong, the registry entry for kim and park's
    // class-2 set into the prefix.
    explicit UnsealWorld(bool certificates = true) {
        const std::string home = dir / "home";
        sh("mkdir -p '" + home + "' '" + app + "' && chmod 700 '" + root + "' '" + app + "'");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("PAPERLENS_PREFIX", root.c_str(), 1);
        sh("cp -r '" + world + "/pki' '" + world + "/npkiconf.ini' '" + world + "/otrxconf.ini' '" +
           app + "/'");
        if (!certificates) {
            return;
        }
        const std::string c = root + "/drive_c/";
        sh("mkdir -p '" + c + "Program Files/NPKI/yessign/USER' '" + c +
           "OTRX/certificate/class2' && cp -r '" + world + "/users/hong' '" + c +
           "Program Files/NPKI/yessign/USER/cn=hong' && cp '" + world + "/class2/'* '" + c +
           "OTRX/certificate/class2/'");
        fixtures::writeRegistryUser(root + "/user.reg", "cn=kim", w.kim.sign);
    }

    static void sh(const std::string& script) {
        if (testsupport::run({"sh", "-c", script}) != 0) {
            throw std::runtime_error("failed: " + script);
        }
    }

    // An issued document made by the peer: openssl cms -sign, then
    // -encrypt to `recipientCert`, zipped with the XSL. `government` signs
    // with the government hierarchy's signer.
    // `signer`, where given, is another signing pair: <signer>.der and an
    // unencrypted <signer>.key.
    std::string document(const std::string& name, const std::string& recipientCert,
                         bool government = false, const std::string& otherSigner = "") {
        const std::string work = dir / ("doc-" + name);
        const std::string signer =
            !otherSigner.empty() ? otherSigner
                                 : world + (government ? "/issuer/gov-signer" : "/issuer/signer");
        sh("mkdir -p '" + work + "/zip'");
        testsupport::writeFile(work + "/form.xml", formXml());
        testsupport::writeFile(work + "/zip/form.xsl", kFormXsl);
        sh("cd '" + work + "' && openssl x509 -inform DER -in '" + signer +
           ".der' -out signer.pem && openssl x509 -inform DER -in '" + recipientCert +
           "' -out to.pem && openssl cms -sign -binary -nodetach -md sha256 -in form.xml "
           "-signer signer.pem -inkey '" + signer +
           ".key' -outform DER -out signed.der && openssl cms -encrypt -binary -aes256 "
           "-in signed.der -outform DER -out zip/form.xml to.pem && cd zip && zip -q ../" + name +
           " form.xml form.xsl");
        return work + "/" + name;
    }
};

}  // namespace unsealtest
