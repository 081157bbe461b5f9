#include "signerfacts.h"

#include "certlist.h"

namespace unseal {

namespace {

QDateTime utc(const QString& text) {
    QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    when.setTimeSpec(Qt::UTC);
    return text.isEmpty() ? QDateTime() : when;
}

QString local(const QDateTime& when) {
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QStringLiteral("(없음)");
}

// "sha256" as "SHA-256".
QString digestName(const QString& digest) {
    QString name = digest.toUpper();
    if (name.startsWith(QLatin1String("SHA")) && !name.contains(u'-')) {
        name.insert(3, u'-');
    }
    return name;
}

// The issuer's name in the issuer table, and its cn where the table does
// not know it.
QString issuerName(const QString& issuer) {
    const QString value = certificates::nameDisplayValue(issuer);
    const QString known = certificates::getCAName(value);
    return known == certificates::getCAName(QString()) ? known + QStringLiteral(" (") + value + u')'
                                                       : known;
}

}  // namespace

SignerFacts parseSignerFacts(const QString& lines) {
    SignerFacts facts;
    for (const QString& line : lines.split(u'\n', Qt::SkipEmptyParts)) {
        const int equals = line.indexOf(u'=');
        if (equals < 0) {
            continue;
        }
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("subject")) {
            facts.subject = value;
        } else if (key == QLatin1String("issuer")) {
            facts.issuer = value;
        } else if (key == QLatin1String("serial")) {
            facts.serial = value;
        } else if (key == QLatin1String("notBefore")) {
            facts.notBefore = utc(value);
        } else if (key == QLatin1String("notAfter")) {
            facts.notAfter = utc(value);
        } else if (key == QLatin1String("signingTime")) {
            facts.signingTime = utc(value);
        } else if (key == QLatin1String("digest")) {
            facts.digest = value;
        } else if (key == QLatin1String("chain")) {
            facts.chain.append(value);
        } else if (key == QLatin1String("allowedBy")) {
            facts.allowedBy = value;
        } else if (key == QLatin1String("policy")) {
            facts.policy = value;
        }
    }
    return facts;
}

QList<QPair<QString, QString>> signerRows(const SignerFacts& facts) {
    QStringList chain;
    for (const QString& link : facts.chain) {
        chain.append(certificates::nameDisplayValue(link));
    }
    QString allowed;
    if (facts.allowedBy == QLatin1String("cert")) {
        allowed = QStringLiteral("허용된 서명자 인증서입니다.");
    } else if (facts.allowedBy == QLatin1String("policy")) {
        allowed = QStringLiteral("허용된 인증서 정책(%1)을 가진 서명자입니다.").arg(facts.policy);
    } else {
        allowed = QStringLiteral("서명자를 제한하는 설정이 없습니다.");
    }
    return {
        {QStringLiteral("서명자"), certificates::nameDisplayValue(facts.subject) +
                                       QStringLiteral(" / ") + issuerName(facts.issuer)},
        {QStringLiteral("서명 시각"), local(facts.signingTime)},
        {QStringLiteral("인증서 유효기간"),
         local(facts.notBefore) + QStringLiteral(" ~ ") + local(facts.notAfter)},
        {QStringLiteral("서명 알고리즘"), digestName(facts.digest)},
        {QStringLiteral("인증서 경로"), chain.join(QStringLiteral("\n"))},
        {QStringLiteral("허용 근거"), allowed},
    };
}

}  // namespace unseal
