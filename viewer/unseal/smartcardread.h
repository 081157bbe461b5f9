// Reading the certificate from a smart card: the card's signing pair is
// exported into the prefix's smart-card folder and listed from there.
#pragma once

#include "scans.h"

namespace unseal {

// The two ways to start a read; each keeps its own wording.
enum class ReadTrigger { Button, Enter };

inline const QString kNoPin = QStringLiteral("스마트 카드 비밀번호를 입력해주세요");
inline const QString kWrongPin = QStringLiteral("스마트 카드 비밀번호가 틀렸습니다.");

class SmartCardRead {
public:
    SmartCardRead(certificates::CertificateScans& scans, platform::Prompt& prompt,
                  platform::SealkitBinding& sealkit);

    // Choosing the smart-card location: the list emptied, the export
    // folder made (mode 0700) if missing.
    void chooseSmartCard();
    // Clears the list, exports the card's pair with the PIN and lists it.
    // False when the user was told why nothing could be read.
    bool read(const QString& pin, ReadTrigger trigger);

    // Makes the folder (a host path) if it does not exist.
    static void ensureFolder(const QString& folder);

private:
    certificates::CertificateScans& scans_;
    platform::Prompt& prompt_;
    platform::SealkitBinding& sealkit_;
};

}  // namespace unseal
