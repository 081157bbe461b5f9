// A prefix in a temporary folder with certificates put where the scans look,
// and the certificate list bound to the real Sealkit library.
#pragma once

#include "certlist.h"
#include "fixtures.h"
#include "scans.h"
#include "scriptedprompt.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <map>
#include <string>

namespace certtest {

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Two issuers and one key for every certificate: the scans only read names.
struct Issuers {
    fixtures::Identity yessign = fixtures::makeIdentity(
        {"cn=yessignCA Class 2,ou=AccreditedCA,o=yessign,c=kr", true, 1, 0, 0, 1024}, nullptr);
    fixtures::Identity gov = fixtures::makeIdentity(
        {"cn=CA907000004,ou=GPKI,o=Tessaran,c=kr", true, 2, 0, 0, 1024}, nullptr);
    fixtures::Key key = fixtures::makeRsaKey(1024);
};

inline Issuers& issuers() {
    static Issuers* instance = new Issuers;
    return *instance;
}

// The DER bytes of a certificate for `subject` issued by `issuer`.
inline std::string certDer(const std::string& subject, const fixtures::Identity& issuer) {
    static std::map<std::string, std::string> made;
    const std::string id = subject + "|" + std::to_string(reinterpret_cast<uintptr_t>(&issuer));
    auto found = made.find(id);
    if (found == made.end()) {
        testsupport::TempDir dir;
        fixtures::writeCertDer(
            dir / "c.der", fixtures::issue({subject, false, static_cast<long>(made.size() + 10)},
                                           issuers().key, &issuer));
        found = made.emplace(id, testsupport::readFile(dir / "c.der")).first;
    }
    return found->second;
}

struct PrefixWorld {
    testsupport::TempDir dir;
    std::string root = dir / "prefix";
    platform::Prefix prefix{q(root)};
    testsupport::ScriptedPrompt prompt;
    platform::SealkitBinding sealkit{prompt, QStringLiteral(SEALKIT_LIBRARY)};
    certificates::MemoryGrid grid;
    certificates::CertificateList list{grid, prefix, sealkit};
    certificates::CertificateScans scans{list};

    PrefixWorld() {
        const std::string home = dir / "home";
        QDir().mkpath(q(home));
        ::setenv("HOME", home.c_str(), 1);
        if (!prefix.ensure()) {
            throw std::runtime_error("prefix");
        }
    }

    // The host path below drive c.
    std::string c(const std::string& rest) const { return root + "/drive_c/" + rest; }

    // Links drive `letter` to a host folder (made when `make`).
    std::string drive(char letter, bool make = true) {
        const std::string folder = dir / (std::string("drive_") + letter);
        if (make) {
            QDir().mkpath(q(folder));
        }
        QFile::link(q(folder), q(root + "/dosdevices/" + letter + ":"));
        return folder;
    }

    // Drive types as Wine's system.reg gives them: {"d:", "cdrom"}, ...
    void driveTypes(const std::map<std::string, std::string>& types) {
        std::string text =
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
            "#arch=win64\n\n[Software\\\\Wine\\\\Drives] 1796962103\n"
            "#time=1da5a1b2c3d4e5f\n";
        for (const auto& [letter, type] : types) {
            text += "\"" + letter + "\"=\"" + type + "\"\n";
        }
        testsupport::writeFile(root + "/system.reg", text);
    }

    // A certificate folder: SignCert.der for `subject`, SignPri.key unless
    // `withKey` is false.
    void certFolder(const std::string& folder, const std::string& subject, bool withKey = true,
                    const fixtures::Identity* issuer = nullptr) {
        testsupport::writeFile(folder + "/SignCert.der",
                               certDer(subject, issuer ? *issuer : issuers().yessign));
        if (withKey) {
            testsupport::writeFile(folder + "/SignPri.key", "key");
        }
    }

    // A class-2 set in a drive's folder: files "<base>_sig.cer" and the
    // others named in `others` ("_sig.key", "_env.cer", "_env.key").
    void class2Set(const std::string& driveFolder, const std::string& base,
                   const std::string& subject, const std::vector<std::string>& others) {
        const std::string folder = driveFolder + "/OTRX/certificate/class2/";
        testsupport::writeFile(folder + base + "_sig.cer", certDer(subject, issuers().gov));
        for (const std::string& other : others) {
            testsupport::writeFile(folder + base + other, "x");
        }
    }

    // The listed rows: subject, issuer and signing certificate path, with
    // the grid's row k and slot k side by side.
    std::vector<std::string> rows() const {
        std::vector<std::string> out;
        for (int k = 1; k <= list.certCount; ++k) {
            out.push_back((grid.text(k, 0) + u'|' + grid.text(k, 1) + u'|' + list.signCertPath[k])
                              .toStdString());
        }
        return out;
    }
};

}  // namespace certtest
