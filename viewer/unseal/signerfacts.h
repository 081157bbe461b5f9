// What a signed document tells of its signer, from the "key=value" lines
// of getSignerInfo_File, and how the program words it for the user.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace unseal {

struct SignerFacts {
    QString subject, issuer, serial;
    QDateTime notBefore, notAfter, signingTime;  // UTC; invalid when absent
    QString digest;                              // "sha256"
    QStringList chain;                           // signer first, top last
    QString allowedBy;                           // "cert", "policy", "none"
    QString policy;
};

SignerFacts parseSignerFacts(const QString& lines);

// The rows of the signature dialog, caption and text, in order: 서명자,
// 서명 시각, 인증서 유효기간, 서명 알고리즘, 인증서 경로, 허용 근거. Times are
// given in local time.
QList<QPair<QString, QString>> signerRows(const SignerFacts& facts);

}  // namespace unseal
