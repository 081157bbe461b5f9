#include "openarguments.h"

#include "commands.h"
#include "secrets.h"

#include <QFileInfo>

#include <cstdio>

std::optional<int> parseOpenArguments(const QStringList& args, OpenArguments& given) {
    const auto value = [&args](int& i, QString& into) {
        if (i + 1 >= args.size()) {
            return false;
        }
        into = args[++i];
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString jobs;
        bool known = true;
        if (arg == QLatin1String("--out")) {
            known = value(i, given.out);
        } else if (arg == QLatin1String("--pdf")) {
            known = value(i, given.pdf);
        } else if (arg == QLatin1String("--out-dir")) {
            known = value(i, given.outDir);
        } else if (arg == QLatin1String("--pdf-dir")) {
            known = value(i, given.pdfDir);
        } else if (arg == QLatin1String("--jobs")) {
            bool number = false;
            known = value(i, jobs);
            given.jobs = jobs.toInt(&number);
            if (known && (!number || given.jobs < 1)) {
                return usageError(QStringLiteral("open: --jobs takes a number of at least 1"));
            }
        } else if (arg == QLatin1String("--cert")) {
            known = value(i, given.certificate);
            given.certificate = QFileInfo(given.certificate).absoluteFilePath();
        } else if (arg == QLatin1String("--password-file")) {
            known = value(i, given.passwordFile);
        } else if (arg == QLatin1String("--zip-password-file")) {
            known = value(i, given.zipPasswordFile);
        } else if (arg == QLatin1String("--password-stdin")) {
            given.passwordStdin = true;
        } else if (!arg.startsWith(QLatin1String("--"))) {
            given.files.append(arg);
        } else {
            known = false;
        }
        if (!known) {
            return usageError(QStringLiteral("open: unexpected argument '%1'").arg(arg));
        }
    }
    if (given.files.isEmpty()) {
        return usageError(QStringLiteral("open: missing FILE"));
    }
    if (given.passwordStdin && !given.passwordFile.isEmpty()) {
        return usageError(
            QStringLiteral("open: give --password-stdin or --password-file, not both"));
    }
    if (given.outDir.isEmpty() && (!given.pdfDir.isEmpty() || given.jobs > 0)) {
        return usageError(QStringLiteral("open: --pdf-dir and --jobs go with --out-dir"));
    }
    if (!given.outDir.isEmpty() && (!given.out.isEmpty() || !given.pdf.isEmpty())) {
        return usageError(QStringLiteral("open: --out and --pdf go with one FILE, not --out-dir"));
    }
    return std::nullopt;
}

bool readOpenSecrets(const OpenArguments& given, OpenSettings& settings) {
    settings.certificate = given.certificate;
    if (given.passwordStdin || !given.passwordFile.isEmpty()) {
        const auto read = readSecretLine(given.passwordFile);
        if (!read) {
            std::fprintf(stderr, "paperlens-cli: cannot read the password from %s\n",
                         given.passwordStdin ? "standard input"
                                             : given.passwordFile.toUtf8().constData());
            return false;
        }
        settings.password = *read;
    }
    if (!given.zipPasswordFile.isEmpty()) {
        settings.zipPassword = readSecretLine(given.zipPasswordFile);
        if (!settings.zipPassword) {
            std::fprintf(stderr, "paperlens-cli: cannot read the zip password from %s\n",
                         given.zipPasswordFile.toUtf8().constData());
            return false;
        }
    }
    return true;
}

void wipeOpenSecrets(OpenSettings& settings) {
    platform::wipe(settings.password);
    if (settings.zipPassword) {
        platform::wipe(*settings.zipPassword);
    }
}
