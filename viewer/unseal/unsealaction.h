// What "확인" in the certificate dialog does: decrypt the document's XML
// member with the chosen certificate's key, verify its signature, and on
// success clear the exported registry certificates.
#pragma once

#include "appstate.h"
#include "scans.h"

namespace unseal {

// The three pieces of the message for an empty certificate list.
inline const QString kNoCertificate =
    QStringLiteral("공인 기관에서 발급된 인증서가 없습니다. \r\n[방문] 수령이 아닌 경우에는 \r\n"
                   "공인 인증서를 발급 받아 신청하셔야 합니다.");
inline const QString kNoPassword = QStringLiteral("암호를 입력해 주십시요");
inline const QString kNoEncryptionCertificate =
    QStringLiteral("암호화용 인증서가 설치되지 않았습니다.");
inline const QString kDecryptPrefix = QStringLiteral("복호화");
inline const QString kVerifyPrefix = QStringLiteral("전자서명검증");

// Where the registry export puts its certificate folders.
inline const QString kExportFolder = QStringLiteral("c:\\kvx\\");

class UnsealAction {
public:
    UnsealAction(certificates::CertificateScans& scans, platform::Prompt& prompt,
                 platform::SealkitBinding& sealkit);

    // Unseals the member with the entry in `row` of the list and the
    // password. True when UnsealSucceeded was set; otherwise the user was
    // told why (or the toolkit gave a status without a message) and
    // nothing of the list changed.
    bool confirm(shell::AppState& state, int row, const QString& password);

    // Deletes SignCert.der and SignPri.key in every folder under c:\kvx\;
    // the folders stay. Stops silently at the first failure.
    void clearCerts();

    // The toolkit's status of the last confirm (0 after success, and when
    // it stopped before the library) and the text the user was shown for it.
    int32_t lastStatus() const { return lastStatus_; }
    const QString& lastMessage() const { return lastMessage_; }
    // What the signed message of the last confirm tells of its signer
    // (getSignerInfo_File), also when it was not genuine; empty when the
    // action stopped before verifying.
    const QString& lastSignerInfo() const { return lastSignerInfo_; }

private:
    void report(const QString& prefix, int32_t status, const QString& configuration);
    QString signerInfo(const QString& signedData, const QString& signCert,
                       const QString& configuration);

    int32_t lastStatus_ = 0;
    QString lastMessage_;
    QString lastSignerInfo_;
    certificates::CertificateScans& scans_;
    platform::Prompt& prompt_;
    platform::SealkitBinding& sealkit_;
};

}  // namespace unseal
