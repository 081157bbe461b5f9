#include "smartcardread.h"

#include "privatefiles.h"
#include "secrets.h"
#include "toolkiterrors.h"

#include <QFile>

namespace unseal {

namespace {

using Binding = platform::SealkitBinding;

struct CardMessages {
    QString noReader;
    QString noCertificate;
};

const CardMessages kButtonMessages{QStringLiteral("스마트 카드 Reader가 설치되지 않았습니다."),
                                   QStringLiteral("스마트 카드에서 인증서를 획득할 수 없습니다.")};
const CardMessages kEnterMessages{QStringLiteral("스마트 카드 리더가 설치되지 않았습니다."),
                                  QStringLiteral("스마트 카드에서 인증서를 가져올 수 없습니다.")};

}  // namespace

SmartCardRead::SmartCardRead(certificates::CertificateScans& scans, platform::Prompt& prompt,
                             platform::SealkitBinding& sealkit)
    : scans_(scans), prompt_(prompt), sealkit_(sealkit) {}

void SmartCardRead::ensureFolder(const QString& folder) {
    (void)platform::makePrivateFolder(folder);
}

void SmartCardRead::chooseSmartCard() {
    scans_.list().clearCertification();
    ensureFolder(scans_.list().prefix.smartCardFolder());
}

bool SmartCardRead::read(const QString& pin, ReadTrigger trigger) {
    scans_.list().clearCertification();
    if (pin.isEmpty()) {
        showPlainMessage(prompt_, kNoPin);
        return false;
    }
    const auto save = sealkit_.function<Binding::SaveSmartCard>("saveSmartCardKeyAndCertAsFile",
                                                                Binding::Report::Always);
    if (save == nullptr) {
        return false;
    }
    const QString folder = scans_.list().prefix.smartCardFolder();
    QByteArray pinText = pin.toUtf8();
    const auto result =
        static_cast<int32_t>(save(QFile::encodeName(folder).constData(), pinText.constData()));
    platform::wipe(pinText);
    const CardMessages& messages = trigger == ReadTrigger::Button ? kButtonMessages : kEnterMessages;
    switch (result) {
    case -1:
        showPlainMessage(prompt_, messages.noReader);
        return false;
    case -2:
        showPlainMessage(prompt_, kWrongPin);
        return false;
    case -3:
        showPlainMessage(prompt_, messages.noCertificate);
        return false;
    default:
        // Any other result counts as done; an empty folder lists nothing.
        scans_.scanSmartCardFolder(folder);
        return true;
    }
}

}  // namespace unseal
