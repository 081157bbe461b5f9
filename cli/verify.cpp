// paperlens-cli verify FILE.kvx --cert PATH (--password-stdin | --password-file F) [--json]:
// unseals an issued document without rendering it, and tells whether it is
// genuine, who signed it, when, and under which chain.
#include "commands.h"

#include "formrender.h"
#include "givencertificate.h"
#include "modunzip32.h"
#include "runworkspace.h"
#include "secrets.h"
#include "signerfacts.h"
#include "terminalprompt.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

const char kVerifyUsage[] =
    "usage: paperlens-cli verify FILE.kvx --cert PATH (--password-stdin | --password-file F)\n"
    "                            [--json]\n";

QString iso(const QDateTime& when) {
    return when.isValid() ? when.toUTC().toString(Qt::ISODate) : QString();
}

QJsonObject asJson(int32_t status, const QString& message, const unseal::SignerFacts& facts) {
    return {
        {"status", status},
        {"message", message},
        {"signer", QJsonObject{{"subject", facts.subject},
                               {"issuer", facts.issuer},
                               {"serial", facts.serial},
                               {"notBefore", iso(facts.notBefore)},
                               {"notAfter", iso(facts.notAfter)}}},
        {"signingTime", iso(facts.signingTime)},
        {"digest", facts.digest},
        {"chain", QJsonArray::fromStringList(facts.chain)},
        {"allowedBy", facts.allowedBy.isEmpty() ? QStringLiteral("none") : facts.allowedBy},
    };
}

}  // namespace

int verify(const QStringList& args) {
    QString file;
    QString cert;
    QString passwordFile;
    bool passwordStdin = false;
    bool json = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--cert") && i + 1 < args.size()) {
            cert = QFileInfo(args[++i]).absoluteFilePath();
        } else if (args[i] == QLatin1String("--password-file") && i + 1 < args.size()) {
            passwordFile = args[++i];
        } else if (args[i] == QLatin1String("--password-stdin")) {
            passwordStdin = true;
        } else if (args[i] == QLatin1String("--json")) {
            json = true;
        } else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            file = QFileInfo(args[i]).absoluteFilePath();
        } else {
            return usageError(QStringLiteral("verify: unexpected argument '%1'").arg(args[i]));
        }
    }
    if (file.isEmpty() || cert.isEmpty() || passwordStdin == !passwordFile.isEmpty()) {
        return usageError(file.isEmpty()   ? QStringLiteral("verify: missing FILE.kvx")
                          : cert.isEmpty() ? QStringLiteral("verify: missing --cert PATH")
                                           : QStringLiteral("verify: give one of --password-stdin "
                                                            "and --password-file F"));
    }
    auto password = readSecretLine(passwordFile);
    if (!password) {
        std::fprintf(stderr, "paperlens-cli: cannot read the password\n");
        return 1;
    }
    RunWorkspace run;
    if (!run.ok()) {
        std::fprintf(stderr, "paperlens-cli: %s\n", run.error().toUtf8().constData());
        return 1;
    }
    platform::Prefix& prefix = run.prefix();
    TerminalPrompt prompt(true);
    platform::SealkitBinding sealkit(prompt);
    shell::AppState state;
    state.DataFolder = prefix.applicationFolder() + QStringLiteral("\\data\\");
    modUnzip32 unzip(prompt, prefix);
    unzip.setUnzipOptions(file, prefix.applicationFolder() + QStringLiteral("\\data"), {QString()},
                          {QString()}, 1, 0, 1, 1);
    unzip.runUnzip();
    shell::findFormMembers(state.DataFolder, state, prefix);
    GivenCertificate dialog(prefix, prompt, sealkit, cert, *password);
    platform::wipe(*password);
    dialog.showModal(state);
    const bool genuine = state.UnsealSucceeded != shell::kFalse;
    const QString facts = dialog.signerInfo();
    QString message = genuine ? QString() : dialog.message();
    if (!genuine && message.isEmpty()) {
        message = QStringLiteral("보기에 실패했습니다");
    }
    const int32_t status = genuine ? 0 : dialog.status();
    if (json) {
        const QByteArray text =
            QJsonDocument(asJson(status, message, unseal::parseSignerFacts(facts)))
                .toJson(QJsonDocument::Indented);
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    } else {
        std::printf("status=%d\n%s", status, facts.toUtf8().constData());
    }
    return genuine ? 0 : 1;
}
