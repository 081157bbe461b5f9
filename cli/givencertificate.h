// The certificate dialog for paperlens-cli: the certificate given on the
// command line is listed as the scans would list it, and the dialog's
// confirm action runs with the given password.
#pragma once

#include "openpipeline.h"
#include "sealkitbinding.h"

class GivenCertificate : public shell::UnsealDialog {
public:
    // `certificate`: a certificate folder (SignCert.der, SignPri.key, ...)
    // or a class-2 "_sig.cer" file; empty lists nothing.
    GivenCertificate(const platform::Prefix& prefix, platform::Prompt& prompt,
                     platform::SealkitBinding& sealkit, QString certificate, QString password);
    ~GivenCertificate() override;
    GivenCertificate(const GivenCertificate&) = delete;
    GivenCertificate& operator=(const GivenCertificate&) = delete;

    void showModal(shell::AppState& state) override;

    // What the last unseal ended with: the toolkit's status (0 when it
    // succeeded or stopped before the library) and the message shown.
    int32_t status() const { return status_; }
    const QString& message() const { return message_; }
    // What the signed message tells of its signer, genuine or not.
    const QString& signerInfo() const { return signerInfo_; }

private:
    const platform::Prefix& prefix_;
    platform::Prompt& prompt_;
    platform::SealkitBinding& sealkit_;
    QString certificate_;
    QString password_;
    int32_t status_ = 0;
    QString message_;
    QString signerInfo_;
};
