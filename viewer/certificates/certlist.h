// The certificate list the dialog shows: the grid and, slot by slot, the
// files behind each row. Every scan lists its certificates through it.
#pragma once

#include "certgrid.h"
#include "hostpaths.h"
#include "sealkitbinding.h"

#include <QString>

#include <array>
#include <cstdint>

namespace certificates {

// The four files of a certificate folder, in this order: signing
// certificate, signing key, encryption certificate, encryption key.
inline const std::array<QString, 4> certFileNames = {
    QStringLiteral("SignCert.der"), QStringLiteral("SignPri.key"), QStringLiteral("kmCert.der"),
    QStringLiteral("kmPri.key")};

// The value of a name's first component: the three characters of its
// label ("cn=") dropped, up to the first comma after them, or to the end
// where none follows.
QString nameDisplayValue(const QString& name);

// The display name of an issuer, by the issuer table: the first identifier
// that starts the text, letter case ignored; "알 수 없음" for none.
QString getCAName(const QString& Issuer);

class CertificateList {
public:
    // The list holds at most 50 entries; entry k lives in slot k and grid
    // row k, slot 0 is never used.
    static constexpr int16_t kMaxEntries = 50;
    static constexpr int kSlots = kMaxEntries + 1;

    CertificateList(CertGrid& grid, const platform::Prefix& prefix,
                    platform::SealkitBinding& sealkit);

    // Empties the list: the header row and one blank row stay.
    void clearCertification();
    // Column 0 half the grid's width, column 1 half less 306, rounded to
    // the nearest, halves to even.
    void layoutCertColumns();
    // Reads the names of the certificate in signCert and lists it; a
    // certificate whose names cannot be read is skipped without a message.
    // Once the list is full further certificates are ignored.
    void addCertificateEntry(const QString& signCert, const QString& signKey, const QString& kmCert,
                             const QString& kmKey, int16_t flag);

    CertGrid& certGrid;
    const platform::Prefix& prefix;
    int16_t certCount = 0;
    std::array<QString, kSlots> signCertPath;
    std::array<QString, kSlots> signKeyPath;
    std::array<QString, kSlots> kmCertPath;
    std::array<QString, kSlots> kmKeyPath;
    std::array<int16_t, kSlots> govCertFlag{};

private:
    platform::SealkitBinding& sealkit_;
};

}  // namespace certificates
