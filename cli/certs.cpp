// paperlens-cli certs [--location hdd|floppy|cd|smartcard]: the rows the
// certificate dialog lists for a location, one a line: subject, TAB,
// issuer, TAB, the signing certificate's path as the list holds it. For
// the smart card the PIN is the first line of standard input.
#include "commands.h"

#include "locations.h"
#include "runworkspace.h"
#include "secrets.h"
#include "smartcardread.h"
#include "terminalprompt.h"

#include <cstdio>


int certs(const QStringList& args) {
    certificates::Location location = certificates::Location::HardDisk;
    bool smartCard = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (args[i] != QLatin1String("--location") || value.isEmpty()) {
            return usageError(args[i] != QLatin1String("--location")
                                  ? QStringLiteral("certs: unexpected argument '%1'").arg(args[i])
                                  : QStringLiteral("certs: --location needs a value"));
        }
        ++i;
        if (value == QLatin1String("hdd")) {
            location = certificates::Location::HardDisk;
        } else if (value == QLatin1String("floppy")) {
            location = certificates::Location::Floppy;
        } else if (value == QLatin1String("cd")) {
            location = certificates::Location::CdRom;
        } else if (value == QLatin1String("smartcard")) {
            smartCard = true;
        } else {
            return usageError(
                QStringLiteral("certs: unknown location '%1' (hdd, floppy, cd or smartcard)")
                    .arg(value));
        }
    }
    RunWorkspace run;
    if (!run.ok()) {
        std::fprintf(stderr, "paperlens-cli: %s\n", run.error().toUtf8().constData());
        return 1;
    }
    platform::Prefix& prefix = run.prefix();
    TerminalPrompt prompt(smartCard);
    platform::SealkitBinding sealkit(prompt);
    certificates::MemoryGrid grid;
    certificates::CertificateList list(grid, prefix, sealkit);
    certificates::CertificateScans scans(list);
    if (smartCard) {
        QString pin = readSecretLine().value_or(QString());
        unseal::SmartCardRead card(scans, prompt, sealkit);
        card.chooseSmartCard();
        const bool read = card.read(pin, unseal::ReadTrigger::Button);
        platform::wipe(pin);
        if (!read) {
            return 1;
        }
    } else {
        // Without the library no certificate can be named: that is a
        // failure, not an empty list.
        if (sealkit.function<platform::SealkitBinding::GetCertInfo2>(
                "getCertInfo2", platform::SealkitBinding::Report::Always) == nullptr) {
            return 1;
        }
        certificates::listLocation(location, scans, list);
    }
    for (int k = 1; k <= list.certCount; ++k) {
        const QString line =
            grid.text(k, 0) + u'\t' + grid.text(k, 1) + u'\t' + list.signCertPath[k] + u'\n';
        std::fputs(line.toUtf8().constData(), stdout);
    }
    return 0;
}
