#include "certlist.h"

#include <QFile>

#include <cmath>

namespace certificates {

namespace {

struct IssuerName {
    const char* identifier;
    QString display;
};

// Searched in this order; the first identifier that starts the issuer wins.
const std::array<IssuerName, 7> issuerTable = {{
    {"yessign", QStringLiteral("금융결제원")},
    {"ncasign", QStringLiteral("한국전산원")},
    {"signgate", QStringLiteral("한국정보인증")},
    {"signkorea", QStringLiteral("한국증권전산")},
    {"crosscert", QStringLiteral("한국전자인증")},
    {"kisa", QStringLiteral("한국정보보호진흥원")},
    {"CA907000004", QStringLiteral("Tessaran")},
}};

const QString kUnknownIssuer = QStringLiteral("알 수 없음");

// The name buffers hold 1000 bytes each.
constexpr int32_t kNameBuffer = 1000;

int roundHalfEven(double value) {
    const double down = std::floor(value);
    const double rest = value - down;
    int result = static_cast<int>(down);
    if (rest > 0.5 || (rest == 0.5 && result % 2 != 0)) {
        ++result;
    }
    return result;
}

}  // namespace

QString nameDisplayValue(const QString& name) {
    const int comma = name.indexOf(u',', 3);
    return comma < 0 ? name.mid(3) : name.mid(3, comma - 3);
}

QString getCAName(const QString& Issuer) {
    const QString upper = Issuer.toUpper();
    for (const IssuerName& row : issuerTable) {
        if (upper.startsWith(QString::fromLatin1(row.identifier).toUpper())) {
            return row.display;
        }
    }
    return kUnknownIssuer;
}

CertificateList::CertificateList(CertGrid& grid, const platform::Prefix& prefix,
                                 platform::SealkitBinding& sealkit)
    : certGrid(grid), prefix(prefix), sealkit_(sealkit) {}

void CertificateList::clearCertification() {
    certGrid.setCurrentCell(0, 0);
    certGrid.setCurrentText(QStringLiteral("사용자"));
    certGrid.setCurrentCell(0, 1);
    certGrid.setCurrentText(QStringLiteral("발급자"));
    const int16_t extra = static_cast<int16_t>(certGrid.rowCount() - 2);
    for (int16_t i = 0; i < extra; ++i) {
        certGrid.removeRow(1);
    }
    certGrid.setCurrentCell(1, 0);
    certGrid.setCurrentText(QStringLiteral(" "));
    certGrid.setCurrentCell(1, 1);
    certGrid.setCurrentText(QStringLiteral(" "));
    certCount = 0;
}

void CertificateList::layoutCertColumns() {
    const double half = certGrid.width() / 2.0;
    certGrid.setColumnWidth(0, roundHalfEven(half));
    certGrid.setColumnWidth(1, roundHalfEven(half - 306));
}

void CertificateList::addCertificateEntry(const QString& signCert, const QString& signKey,
                                          const QString& kmCert, const QString& kmKey,
                                          int16_t flag) {
    if (certCount >= kMaxEntries) {
        return;
    }
    const auto getCertInfo2 = sealkit_.function<platform::SealkitBinding::GetCertInfo2>(
        "getCertInfo2", platform::SealkitBinding::Report::Once);
    if (getCertInfo2 == nullptr) {
        return;
    }
    std::array<char, kNameBuffer> subject{};
    std::array<char, kNameBuffer> issuer{};
    const QByteArray file = QFile::encodeName(prefix.hostPath(signCert));
    if (getCertInfo2(subject.data(), issuer.data(), file.constData(), kNameBuffer) != 0) {
        return;
    }
    subject.back() = '\0';
    issuer.back() = '\0';
    const QString subjectText = nameDisplayValue(QString::fromUtf8(subject.data()));
    const QString issuerText = getCAName(nameDisplayValue(QString::fromUtf8(issuer.data())));
    const QString row = subjectText + u'\t' + issuerText;
    if (certCount == 0) {
        certGrid.selectBlock(1, 1, 0, 1);
        certGrid.setSelectionText(row);
    } else {
        certGrid.addRow(row);
    }
    const int k = ++certCount;
    signCertPath[k] = signCert;
    signKeyPath[k] = signKey;
    kmCertPath[k] = kmCert;
    kmKeyPath[k] = kmKey;
    govCertFlag[k] = flag;
}

}  // namespace certificates
