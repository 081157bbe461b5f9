// paperlens-cli seal and receipt: sealed forms made as the issuing service
// makes them, for issuers, tests and demos.
//
//   seal --xml F --xsl F --signer-key K --signer-cert C --recipient-cert R
//        --conf CONF -o OUT.kvx   (the signer key's password on stdin)
//   receipt --xml F --xsl F -o OUT.rcp
#include "commands.h"

#include "sealkitbinding.h"
#include "secrets.h"
#include "terminalprompt.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <zip.h>

#include <cstdio>
#include <optional>

namespace {

using Binding = platform::SealkitBinding;

const char kSealArguments[] =
    "--xml F --xsl F --signer-key K --signer-cert C --recipient-cert R --conf CONF -o OUT.kvx, "
    "each once";
const char kReceiptArguments[] = "--xml F --xsl F -o OUT.rcp, each once";

int usage(const char* command) {
    return usageError(QStringLiteral("%1: needs %2").arg(QLatin1String(command),
                                                          QLatin1String(command[0] == 's'
                                                                            ? kSealArguments
                                                                            : kReceiptArguments)));
}

// "--name value" pairs; nothing when an argument is not one of `names` or
// a value is missing.
std::optional<QHash<QString, QString>> options(const QStringList& args, const QStringList& names) {
    QHash<QString, QString> found;
    for (int i = 0; i < args.size(); i += 2) {
        if (!names.contains(args[i]) || i + 1 >= args.size() || found.contains(args[i])) {
            return std::nullopt;
        }
        found.insert(args[i], args[i + 1]);
    }
    for (const QString& name : names) {
        if (!found.contains(name)) {
            return std::nullopt;
        }
    }
    return found;
}

QByteArray host(const QString& path) { return QFile::encodeName(QFileInfo(path).absoluteFilePath()); }

// Writes a zip archive of (member name, file) pairs beside `out` and then
// renames it over `out`.
bool writeArchive(const QString& out, const QVector<QPair<QString, QString>>& members) {
    const QString temp = out + QStringLiteral(".part");
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(temp).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        return false;
    }
    for (const auto& [name, file] : members) {
        zip_source_t* source = zip_source_file(archive, host(file).constData(), 0, -1);
        if (source == nullptr ||
            zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        QFile::remove(temp);
        return false;
    }
    QFile::remove(out);
    return QFile::rename(temp, out);
}

int fail(const char* what, int32_t status) {
    std::fprintf(stderr, "paperlens-cli: %s failed with status %d\n", what, status);
    return 1;
}

}  // namespace

int receipt(const QStringList& args) {
    const auto given = options(args, {"--xml", "--xsl", "-o"});
    if (!given) {
        return usage("receipt");
    }
    const QString xml = given->value("--xml");
    const QString xsl = given->value("--xsl");
    if (!writeArchive(given->value("-o"), {{QFileInfo(xml).fileName(), xml},
                                           {QFileInfo(xsl).fileName(), xsl}})) {
        std::fprintf(stderr, "paperlens-cli: cannot write %s\n",
                     given->value("-o").toUtf8().constData());
        return 1;
    }
    return 0;
}

int seal(const QStringList& args) {
    const auto given = options(args, {"--xml", "--xsl", "--signer-key", "--signer-cert",
                                      "--recipient-cert", "--conf", "-o"});
    if (!given) {
        return usage("seal");
    }
    QString line = readSecretLine().value_or(QString());
    QByteArray password = line.toUtf8();
    platform::wipe(line);
    TerminalPrompt prompt;
    Binding sealkit(prompt);
    const auto makeSig = sealkit.function<Binding::MakeSigFile>("makeSig_File", Binding::Report::Always);
    const auto makeEnc = sealkit.function<Binding::MakeEncFile>("makeEnc_File", Binding::Report::Always);
    QTemporaryDir work;
    if (makeSig == nullptr || makeEnc == nullptr || !work.isValid()) {
        return 1;
    }
    const QString xml = given->value("--xml");
    const QString signedData = work.filePath(QStringLiteral("signed.der"));
    const QString enveloped = work.filePath(QFileInfo(xml).fileName());
    const QByteArray key = host(given->value("--signer-key"));
    const QByteArray cert = host(given->value("--signer-cert"));
    int32_t status = makeSig(host(signedData).constData(), host(xml).constData(), key.constData(),
                             cert.constData(), password.constData());
    if (status == 0) {
        status = makeEnc(host(enveloped).constData(), host(signedData).constData(),
                         key.constData(), cert.constData(),
                         host(given->value("--recipient-cert")).constData(),
                         password.constData(), host(given->value("--conf")).constData());
        platform::wipe(password);
        if (status != 0) {
            return fail("makeEnc_File", status);
        }
    } else {
        platform::wipe(password);
        return fail("makeSig_File", status);
    }
    const QString xsl = given->value("--xsl");
    if (!writeArchive(given->value("-o"), {{QFileInfo(xml).fileName(), enveloped},
                                           {QFileInfo(xsl).fileName(), xsl}})) {
        std::fprintf(stderr, "paperlens-cli: cannot write %s\n",
                     given->value("-o").toUtf8().constData());
        return 1;
    }
    return 0;
}
