#include "unsealaction.h"

#include "resources.h"
#include "secrets.h"
#include "toolkiterrors.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace unseal {

namespace {

using Binding = platform::SealkitBinding;

// The status of a configuration without any top certificate, and the
// buffer for the signer's description.
constexpr int32_t kNoTopCertificate = 70101;
constexpr size_t kSignerInfoBuffer = 8192;

// A text argument for the library, wiped when it goes.
class LibraryText {
public:
    explicit LibraryText(const QString& text) : bytes_(text.toUtf8()) {}
    ~LibraryText() { platform::wipe(bytes_); }
    LibraryText(const LibraryText&) = delete;
    LibraryText& operator=(const LibraryText&) = delete;
    const char* get() const { return bytes_.constData(); }

private:
    QByteArray bytes_;
};

}  // namespace

UnsealAction::UnsealAction(certificates::CertificateScans& scans, platform::Prompt& prompt,
                           platform::SealkitBinding& sealkit)
    : scans_(scans), prompt_(prompt), sealkit_(sealkit) {}

void UnsealAction::report(const QString& prefix, int32_t status, const QString& configuration) {
    lastStatus_ = status;
    lastMessage_ = toolkitErrorText(prefix, QString::number(status)).value_or(QString());
    if (status == kNoTopCertificate) {
        // A fresh installation: the national roots are not installed yet.
        lastMessage_ += QStringLiteral("\r\n최상위 인증서를 설치할 폴더: ") +
                        platform::trustTopFolders(configuration).join(QStringLiteral(", "));
    }
    if (!lastMessage_.isEmpty()) {
        showPlainMessage(prompt_, lastMessage_);
    }
}

QString UnsealAction::signerInfo(const QString& signedData, const QString& signCert,
                                 const QString& configuration) {
    const auto describe =
        sealkit_.function<Binding::GetSignerInfo>("getSignerInfo_File", Binding::Report::Once);
    if (describe == nullptr) {
        return QString();
    }
    std::array<char, kSignerInfoBuffer> text{};
    if (describe(QFile::encodeName(signedData).constData(), QFile::encodeName(signCert).constData(),
                 QFile::encodeName(configuration).constData(), text.data(),
                 static_cast<int32_t>(text.size())) != 0) {
        return QString();
    }
    return QString::fromUtf8(text.data());
}

bool UnsealAction::confirm(shell::AppState& state, int row, const QString& password) {
    lastStatus_ = 0;
    lastMessage_.clear();
    lastSignerInfo_.clear();
    const certificates::CertificateList& list = scans_.list();
    const platform::Prefix& prefix = list.prefix;
    const auto tell = [this](const QString& text) {
        lastMessage_ = text;
        showPlainMessage(prompt_, text);
        return false;
    };
    if (list.certCount == 0) {
        return tell(kNoCertificate);
    }
    if (password.isEmpty()) {
        return tell(kNoPassword);
    }
    // Row 0 is the header row; only rows of listed entries have slots.
    const int r = row >= 1 && row <= list.certCount ? row : 1;
    const bool government = list.govCertFlag[r] != 0;
    const QString signCert = prefix.hostPath(list.signCertPath[r]);
    const QString signKey = prefix.hostPath(list.signKeyPath[r]);
    const QString documentPath = prefix.hostPath(state.DataFolder + state.XmlFileName);
    const QString signedDataPath = prefix.hostPath(state.DataFolder + QStringLiteral("sig.dec"));
    if (government && (!QFileInfo(signCert).isFile() || !QFileInfo(signKey).isFile())) {
        return tell(kNoEncryptionCertificate);
    }
    const auto decrypt = sealkit_.function<Binding::DecryptFile>("decypt_File", Binding::Report::Always);
    if (decrypt == nullptr) {
        return false;
    }
    const QString decryptKey = government ? prefix.hostPath(list.kmKeyPath[r]) : signKey;
    int32_t status = 0;
    {
        const LibraryText secret(password);
        status = decrypt(QFile::encodeName(signedDataPath).constData(),
                         QFile::encodeName(documentPath).constData(),
                         QFile::encodeName(decryptKey).constData(), secret.get());
    }
    if (status != 0) {
        report(kDecryptPrefix, status, QString());
        return false;
    }
    const auto verify =
        sealkit_.function<Binding::VerifySigFile>("verifySig_File", Binding::Report::Always);
    if (verify == nullptr) {
        return false;
    }
    const QString configuration = platform::trustConfiguration(
        prefix.workspaceRoot(),
        government ? QStringLiteral("otrxconf.ini") : QStringLiteral("npkiconf.ini"));
    {
        const LibraryText secret(password);
        status = verify(QFile::encodeName(documentPath).constData(),
                        QFile::encodeName(signedDataPath).constData(),
                        QFile::encodeName(signKey).constData(),
                        QFile::encodeName(signCert).constData(), secret.get(),
                        QFile::encodeName(configuration).constData());
    }
    // What the signed message tells of its signer, genuine or not.
    lastSignerInfo_ = signerInfo(signedDataPath, signCert, configuration);
    if (status != 0) {
        report(kVerifyPrefix, status, configuration);
        return false;
    }
    state.UnsealSucceeded = shell::kTrue;
    state.SignerInfo = lastSignerInfo_;
    clearCerts();
    return true;
}

void UnsealAction::clearCerts() {
    const platform::Prefix& prefix = scans_.list().prefix;
    const auto folders = scans_.getDirectoryList(kExportFolder);
    if (!folders) {
        return;
    }
    for (const QString& folder : *folders) {
        for (const QString& name : {QStringLiteral("\\SignCert.der"), QStringLiteral("\\SignPri.key")}) {
            const QString file = prefix.hostPath(kExportFolder + folder + name);
            if (QFileInfo(file).isFile() && !QFile::remove(file)) {
                return;
            }
        }
    }
}

}  // namespace unseal
