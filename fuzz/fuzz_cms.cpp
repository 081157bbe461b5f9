// Decrypting and verifying any message, as the unseal action does: the
// envelope with a fixed key, then the signed data it would hold.
#include "fixtures.h"
#include "fuzzsupport.h"
#include "otrx.h"

#include <QFile>

namespace {

const OTRX_PRIVATEKEY& fixedKey() {
    static OTRX_PRIVATEKEY key = [] {
        OTRX_PRIVATEKEY k{};
        fuzz::Scratch scratch;
        const QString path = scratch.path() + QStringLiteral("/key.der");
        fixtures::writeKey(path.toStdString(), fixtures::makeRsaKey(1024), "",
                           fixtures::KeyScheme::DerPkcs8);
        (void)OTRX_PRIVATEKEY_Create(&k);
        (void)OTRX_PRIVATEKEY_Read_File(&k, QFile::encodeName(path).constData(), "");
        return k;
    }();
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const OTRX_PRIVATEKEY& key = fixedKey();
    fuzz::Scratch scratch;
    const QByteArray message = QFile::encodeName(scratch.write("form.xml", data, size));
    const QByteArray out = QFile::encodeName(scratch.path() + QStringLiteral("/sig.dec"));
    (void)OTRX_PE_Decrypt_File(out.constData(), message.constData(), &key);
    (void)OTRX_SG_VerifySignature_File(message.constData());
    uint32_t signingTime = 0;
    (void)OTRX_SG_GetOriginalMessage_File(&signingTime, out.constData(), message.constData());
    OTRX_CERTIFICATE signer{};
    (void)OTRX_CERTIFICATE_Create(&signer);
    (void)OTRX_SG_GetSignerCertificate_File(&signer, message.constData());
    (void)OTRX_CERTIFICATE_Delete(&signer);
    return 0;
}
