// One fixture world per test program, made once, and the library bound once.
#pragma once

#include "fixtures.h"
#include "sealkit_binding.h"
#include "testsupport.h"

#include <string>

namespace sealtest {

constexpr const char* kPassword = "1234qwer!";

struct Shared {
    testsupport::TempDir dir;
    fixtures::World world;
    testsupport::Sealkit lib;
    Shared() : world(fixtures::writeWorld(dir.path(), kPassword)) {
        fixtures::writeCertPem(dir / "pem/signer.pem", world.signer.cert);
        fixtures::writeCertPem(dir / "pem/hong.pem", world.hong.sign.cert);
        fixtures::writeKey(dir / "pem/hong.key", world.hong.sign.key, "",
                           fixtures::KeyScheme::PemPkcs8);
        fixtures::writeCertPem(dir / "pem/root.pem", world.root.cert);
        fixtures::writeCertPem(dir / "pem/ca.pem", world.ca.cert);
        fixtures::writeCertPem(dir / "pem/agency-ca.pem", world.agencyCa.cert);
        testsupport::writeFile(dir / "pem/chain.pem",
                               testsupport::readFile(dir / "pem/root.pem") +
                                   testsupport::readFile(dir / "pem/ca.pem") +
                                   testsupport::readFile(dir / "pem/agency-ca.pem"));
    }
    std::string operator/(const std::string& name) const { return dir / name; }
};

inline Shared& shared() {
    static Shared* instance = new Shared;  // lives until exit, like the library
    return *instance;
}

// A document with Korean text and both kinds of line end, which binary mode
// must keep byte for byte.
inline std::string sampleXml() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<form>\n  <name>홍길동</name>\r\n"
           "  <item>주민등록표 등본</item>\n</form>\n";
}

// Signs `xml` with the world's signer and envelopes it to `recipientCert`
// through the library, as an issuing service does.
inline int32_t seal(const std::string& xml, const std::string& recipientCert,
                    const std::string& out, const std::string& signerKey = "issuer/signer.key",
                    const std::string& signerCert = "issuer/signer.der") {
    Shared& s = shared();
    testsupport::TempDir work;
    testsupport::writeFile(work / "doc.xml", xml);
    int32_t status = s.lib.makeSig_File((work / "signed.der").c_str(), (work / "doc.xml").c_str(),
                                        (s / signerKey).c_str(), (s / signerCert).c_str(), "");
    if (status != 0) {
        return status;
    }
    return s.lib.makeEnc_File(out.c_str(), (work / "signed.der").c_str(),
                              (s / "users/hong/SignPri.key").c_str(),
                              (s / "users/hong/SignCert.der").c_str(), recipientCert.c_str(),
                              kPassword, (s / "npkiconf.ini").c_str());
}

}  // namespace sealtest
