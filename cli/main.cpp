// paperlens-cli: the viewer's pipeline without a window.
//
//   paperlens-cli open FILE [--out PAGE.html] [--pdf PAGE.pdf]
//   paperlens-cli open FILE... --out-dir DIR [--pdf-dir DIR] [--jobs N]
//
// Exit status: 0 when the page was written, 1 when the document cannot be
// shown (the reason goes to standard error), 2 for a usage error.
#include "commands.h"
#include "openarguments.h"
#include "opendocument.h"
#include "paperlensversion.h"
#include "pdfbinding.h"
#include "secrets.h"
#include "terminalprompt.h"
#include "termination.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>
#include <optional>

namespace {

const char kUsage[] =
    "usage: paperlens-cli open FILE [--cert PATH (--password-stdin | --password-file F)]\n"
    "                          [--zip-password-file F] [--out PAGE.html] [--pdf PAGE.pdf]\n"
    "       paperlens-cli open FILE... --out-dir DIR [--pdf-dir DIR] [--jobs N] [...]\n"
    "       paperlens-cli verify FILE.kvx --cert PATH (--password-stdin | --password-file F)\n"
    "                            [--json]\n"
    "       paperlens-cli certs [--location hdd|floppy|cd|smartcard]\n"
    "       paperlens-cli seal --xml F --xsl F --signer-key K --signer-cert C\n"
    "                          --recipient-cert R --conf CONF -o OUT.kvx\n"
    "       paperlens-cli receipt --xml F --xsl F -o OUT.rcp\n"
    "\n"
    "Opens a sealed form (.rcp receipt, .kvx issued document) as the viewer\n"
    "does: extracts it, unseals an issued document with the certificate\n"
    "--cert names (a certificate folder or a class-2 _sig.cer file) and its\n"
    "password (first line of standard input or of F),\n"
    "transforms its XML with its XSL and writes the page, exactly as the\n"
    "viewer writes it (FF FE, then UTF-16LE), to PAGE.html; --pdf prints\n"
    "the rendered page to PAGE.pdf through the web engine, offscreen.\n"
    "With --out-dir, every FILE is opened so, each in a workspace of its own,\n"
    "on N worker processes (default: one per core); its page goes to\n"
    "DIR/<name>.html (and, with --pdf-dir, DIR/<name>.pdf, printed by one web\n"
    "engine for the run). One --cert and password serve every issued\n"
    "document; each file that fails gets one line on standard error, starting\n"
    "with its name.\n"
    "verify unseals an issued document without rendering it and prints who\n"
    "signed it, when and under which chain (--json: one JSON object); exit\n"
    "status 0 when it is genuine, 1 when it is not.\n"
    "certs prints the certificates the certificate dialog lists for a\n"
    "location: subject, TAB, issuer, TAB, signing certificate path (for\n"
    "smartcard, after reading the card with the PIN on standard input).\n"
    "seal signs the XML, envelopes it to the recipient and zips it with the\n"
    "XSL (signer key password on standard input); receipt zips them plain.\n"
    "Without a terminal (or with --password-stdin) nothing is asked: a member\n"
    "that is in the archive twice keeps its first copy, and the password of an\n"
    "encrypted archive is the first line of the --zip-password-file F.\n"
    "Messages go to standard error. Exit status: 0 page written (every page,\n"
    "with --out-dir), 1 a document cannot be shown, 2 usage error.\n"
    "The workspace is $PAPERLENS_PREFIX (default ~/.local/share/paperlens).\n"
    "--version prints the version.\n";

int usage(int status) {
    std::fputs(kUsage, status == 0 ? stdout : stderr);
    return status;
}

}  // namespace

namespace {

bool printPdf(const QString& page, const QString& pdf) {
    const PrintPdfs print = pdfBatchPrinter();
    const QByteArray pageBytes = page.toUtf8();
    const QByteArray pdfBytes = pdf.toUtf8();
    const char* pages[] = {pageBytes.constData()};
    const char* pdfs[] = {pdfBytes.constData()};
    int result = 1;
    return print != nullptr && print(pages, pdfs, 1, 1, &result) == 0 && result == 0;
}

int open(const QStringList& args) {
    OpenArguments given;
    if (const auto status = parseOpenArguments(args, given)) {
        return *status;
    }
    if (given.files.size() != 1) {
        return usageError(QStringLiteral("open: give --out-dir DIR to open more than one FILE"));
    }
    OpenSettings settings;
    if (!readOpenSecrets(given, settings)) {
        return 1;
    }
    TerminalPrompt prompt(given.passwordStdin);
    if (settings.zipPassword) {
        prompt.setGivenInput(*settings.zipPassword);
    }
    platform::SealkitBinding sealkit(prompt);
    const auto print = [&given](const QString& page, QString& failure) {
        if (given.pdf.isEmpty() || printPdf(page, QFileInfo(given.pdf).absoluteFilePath())) {
            return true;
        }
        failure = QStringLiteral("cannot print %1").arg(given.pdf);
        return false;
    };
    QString failure;
    const bool shown =
        openDocument(given.files[0], settings, prompt, sealkit, given.out, print, failure);
    wipeOpenSecrets(settings);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "paperlens-cli: %s\n", failure.toUtf8().constData());
    }
    return shown ? 0 : 1;
}

bool hasArgument(int argc, char** argv, const char* wanted) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == wanted) {
            return true;
        }
    }
    return false;
}

int run(int, char**) {
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        return usageError(QStringLiteral("missing a command"));
    }
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        return usage(0);
    }
    if (args[0] == QLatin1String("--version")) {
        std::puts("paperlens-cli " PAPERLENS_VERSION);
        return 0;
    }
    if (args[0] == QLatin1String("verify")) {
        return verify(args.mid(1));
    }
    if (args[0] == QLatin1String("open")) {
        return open(args.mid(1));
    }
    if (args[0] == QLatin1String("certs")) {
        return certs(args.mid(1));
    }
    if (args[0] == QLatin1String("seal")) {
        return seal(args.mid(1));
    }
    if (args[0] == QLatin1String("receipt")) {
        return receipt(args.mid(1));
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(args[0]));
}

}  // namespace

int main(int argc, char** argv) {
    platform::hardenProcess();
    if (argc > 1 && std::string(argv[1]) == "open" && hasArgument(argc, argv, "--out-dir")) {
        return openMany(argc, argv);
    }
    if (hasArgument(argc, argv, "--pdf")) {
        GuiMain guiMain = loadPdfModule();
        if (guiMain == nullptr) {
            return 1;
        }
        return guiMain(argc, argv, run);
    }
    QCoreApplication app(argc, argv);
    const int status = run(argc, argv);
#if defined(__SANITIZE_ADDRESS__)
    return status;  // the leak check runs at exit
#else
    // Everything is written and the workspace is gone: tearing down Qt,
    // the toolkit library and OpenSSL would only cost the caller time.
    std::fflush(nullptr);
    ::_exit(status);
#endif
}
