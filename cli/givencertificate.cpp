#include "givencertificate.h"

#include "secrets.h"
#include "unsealaction.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The file of a folder named `name`, letter case ignored as the scans
// ignore it; the name as written where there is none.
QString fileIn(const QString& folder, const QString& name) {
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return folder + u'/' + entry;
        }
    }
    return folder + u'/' + name;
}

void listGiven(certificates::CertificateList& list, const QString& certificate) {
    if (certificate.endsWith(QStringLiteral("_sig.cer")) && QFileInfo(certificate).isFile()) {
        const auto other = [&](const char* ending) {
            return QString(certificate).replace(QStringLiteral("_sig.cer"), QLatin1String(ending));
        };
        const QString sigKey = other("_sig.key");
        if (!QFileInfo(sigKey).isFile()) {
            return;
        }
        const bool env = QFileInfo(other("_env.cer")).isFile() && QFileInfo(other("_env.key")).isFile();
        list.addCertificateEntry(certificate, sigKey, env ? other("_env.cer") : certificate,
                                 env ? other("_env.key") : sigKey, 1);
        return;
    }
    const QString folder = QFileInfo(certificate).absoluteFilePath();
    QStringList files;
    for (const QString& name : certificates::certFileNames) {
        files.append(fileIn(folder, name));
    }
    if (QFileInfo(files[0]).isFile() && QFileInfo(files[1]).isFile()) {
        list.addCertificateEntry(files[0], files[1], files[2], files[3], 0);
    }
}

}  // namespace

GivenCertificate::GivenCertificate(const platform::Prefix& prefix, platform::Prompt& prompt,
                                   platform::SealkitBinding& sealkit, QString certificate,
                                   QString password)
    : prefix_(prefix),
      prompt_(prompt),
      sealkit_(sealkit),
      certificate_(std::move(certificate)),
      password_(std::move(password)) {}

GivenCertificate::~GivenCertificate() { platform::wipe(password_); }

void GivenCertificate::showModal(shell::AppState& state) {
    certificates::MemoryGrid grid;
    certificates::CertificateList list(grid, prefix_, sealkit_);
    certificates::CertificateScans scans(list);
    list.clearCertification();
    if (!certificate_.isEmpty()) {
        listGiven(list, certificate_);
    }
    unseal::UnsealAction action(scans, prompt_, sealkit_);
    (void)action.confirm(state, grid.currentRow(), password_);
    status_ = action.lastStatus();
    message_ = action.lastMessage();
    signerInfo_ = action.lastSignerInfo();
}
