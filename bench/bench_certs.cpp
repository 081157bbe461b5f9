// The hard-disk location's full run, as the certificate dialog does it on
// load: the registry export of 10 certificates, the scan of the ten disk
// folders holding 40 certificate folders among 2,000 other folders, and
// the class-2 sweep. Prints the median time, the share spent reading
// certificate names, and the ratio to `find` walking the same folders.
#include "benchsupport.h"
#include "fixtures.h"
#include "locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Silent : platform::Prompt {
    platform::Answer message(const QString&, const QString&, platform::Icon,
                             platform::Buttons) override {
        return platform::Answer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    char pattern[] = "/tmp/bench_certs.XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    ::setenv("HOME", (dir + "/home").c_str(), 1);
    platform::Prefix prefix(QString::fromStdString(dir + "/prefix"));
    if (!prefix.ensure()) {
        return 1;
    }
    const std::string c = dir + "/prefix/drive_c/";
    const fixtures::Identity ca = fixtures::makeIdentity(
        {"cn=yessignCA Class 2,ou=AccreditedCA,o=yessign,c=kr", true, 1}, nullptr);
    const fixtures::Key key = fixtures::makeRsaKey(2048);
    const char* folders[] = {"windows/yessign", "winnt/yessign", "pkicert",
                             "Program Files/NPKI/yessign/user", "Program Files/NPKI/signgate/user",
                             "Program Files/NPKI/CrossCert/user"};
    for (int i = 0; i < 40; ++i) {
        const std::string folder = c + folders[i % 6] + "/cn=user" + std::to_string(i);
        fixtures::makeFolders(folder);
        fixtures::writeCertDer(folder + "/SignCert.der",
                               fixtures::issue({"cn=user" + std::to_string(i) + ",o=yessign,c=kr",
                                                false, 100 + i},
                                               key, &ca));
        fixtures::writeFile(folder + "/SignPri.key", "key");
    }
    for (int i = 0; i < 2000; ++i) {
        fixtures::makeFolders(c + folders[i % 6] + "/folder" + std::to_string(i));
    }
    std::string userReg = "WINE REGISTRY Version 2\n\n";
    fixtures::writeKey(dir + "/k.pem", key, "", fixtures::KeyScheme::PemRsa);
    const std::string keyPem = fixtures::registryString(fixtures::readFile(dir + "/k.pem"));
    for (int i = 0; i < 10; ++i) {
        const std::string name = "cn=reg" + std::to_string(i);
        fixtures::writeCertPem(dir + "/c.pem",
                               fixtures::issue({name + ",o=yessign,c=kr", false, 200 + i}, key, &ca));
        userReg += "[Software\\\\SIGNGATE\\\\PKICERT\\\\Certificate\\\\" + name + "] 1\n\"Sign\"=\"" +
                   fixtures::registryString(fixtures::readFile(dir + "/c.pem")) + "\"\n";
        userReg += "[Software\\\\SIGNGATE\\\\PKICERT\\\\User\\\\" + name + "\\\\PrivateKey] 1\n" +
                   "\"Sign\"=\"" + keyPem + "\"\n";
    }
    fixtures::writeFile(dir + "/prefix/user.reg", userReg);
    fixtures::writeFile(c + "OTRX/certificate/class2/readme.txt", "no sets here");

    Silent prompt;
    platform::SealkitBinding sealkit(prompt, QStringLiteral(SEALKIT_LIBRARY));
    certificates::MemoryGrid grid;
    certificates::CertificateList list(grid, prefix, sealkit);
    certificates::CertificateScans scans(list);

    std::vector<double> runs;
    for (int i = 0; i < 15; ++i) {
        const double start = bench::seconds();
        certificates::listLocation(certificates::Location::HardDisk, scans, list);
        runs.push_back(bench::seconds() - start);
    }
    // The same names read directly, as the scan reads them.
    const auto getCertInfo2 = sealkit.function<platform::SealkitBinding::GetCertInfo2>(
        "getCertInfo2", platform::SealkitBinding::Report::Once);
    std::vector<double> names;
    for (int i = 0; i < 15; ++i) {
        const double start = bench::seconds();
        for (int k = 1; k <= list.certCount; ++k) {
            char subject[1000];
            char issuer[1000];
            const QByteArray file = QFile::encodeName(prefix.hostPath(list.signCertPath[k]));
            if (getCertInfo2(subject, issuer, file.constData(), 1000) != 0) {
                return 1;
            }
        }
        names.push_back(bench::seconds() - start);
    }
    std::vector<double> finds;
    for (int i = 0; i < 15; ++i) {
        const double start = bench::seconds();
        if (bench::runTool({"find", c, "-maxdepth", "5", "-iname", "SignCert.der"}) < 0) {
            return 1;
        }
        finds.push_back(bench::seconds() - start);
    }
    const double total = bench::median(runs);
    std::printf("hard-disk location: %d certificates listed\n", list.certCount);
    std::printf("  full run        %7.1f ms  (aim < 100 ms: %s)\n", total * 1000,
                total < 0.1 ? "met" : "NOT met");
    std::printf("  getCertInfo2    %7.1f ms  (%.0f%% of the run)\n", bench::median(names) * 1000,
                100 * bench::median(names) / total);
    std::printf("  find over drive %7.1f ms  ratio ours/find %.2f\n", bench::median(finds) * 1000,
                total / bench::median(finds));
    QDir(QString::fromStdString(dir)).removeRecursively();
    return 0;
}
