// The program-wide state that the open pipeline shares with the
// certificate dialog.
#pragma once

#include <QString>

#include <cstdint>

namespace shell {

// Flags are 16-bit: true is -1 (all bits set), false 0.
constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

struct AppState {
    QString DataFolder;   // application folder + "\data\", with the trailing "\"
    QString XmlFileName;  // bare names of the form's members in DataFolder,
    QString XslFileName;  // kept from an earlier document when not found
    int16_t UnsealSucceeded = kFalse;
    // What the unsealed document's signature tells of its signer, as
    // getSignerInfo_File gives it; empty unless an issued document was
    // unsealed and is shown.
    QString SignerInfo;
};

}  // namespace shell
