// paperlens-cli: the viewer's pipeline without a window.
//
//   paperlens-cli open FILE [--out PAGE.html] [--pdf PAGE.pdf]
//
// Exit status: 0 when the page was written, 1 when the document cannot be
// shown (the reason goes to standard error), 2 for a usage error.
#include "commands.h"
#include "givencertificate.h"
#include "openpipeline.h"
#include "paperlensversion.h"
#include "runworkspace.h"
#include "secrets.h"
#include "terminalprompt.h"
#include "termination.h"

#include <QCoreApplication>

#include <dlfcn.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <optional>

namespace {

const char kUsage[] =
    "usage: paperlens-cli open FILE [--cert PATH (--password-stdin | --password-file F)]\n"
    "                          [--zip-password-file F] [--out PAGE.html] [--pdf PAGE.pdf]\n"
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
    "Messages go to standard error. Exit status: 0 page written, 1 the\n"
    "document cannot be shown, 2 usage error.\n"
    "The workspace is $PAPERLENS_PREFIX (default ~/.local/share/paperlens).\n"
    "--version prints the version.\n";

int usage(int status) {
    std::fputs(kUsage, status == 0 ? stdout : stderr);
    return status;
}

}  // namespace

int usageError(const QString& what) {
    std::fprintf(stderr, "paperlens-cli: %s\nTry 'paperlens-cli --help' for more information.\n",
                 what.toUtf8().constData());
    return 2;
}

namespace {

struct GivenFile : platform::FileChooser {
    QString file;
    QString chooseFile(const QString&, const QString&) override { return file; }
};

struct PageSink : shell::WebView {
    QString shown;
    void navigate(const QString& hostPath) override { shown = hostPath; }
};

bool copyPage(const QString& from, const QString& to) {
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = in.readAll();
    return out.write(bytes) == bytes.size() && out.commit();
}

// Printing needs the web engine, which is large to load: it lives in a
// module of its own that only --pdf loads.
using PrintPdf = int (*)(const char* page, const char* pdf);
using GuiMain = int (*)(int argc, char** argv, int (*body)(int, char**));
PrintPdf printPdfFunction = nullptr;

bool printPdf(const QString& page, const QString& pdf) {
    return printPdfFunction != nullptr &&
           printPdfFunction(page.toUtf8().constData(), pdf.toUtf8().constData()) == 0;
}

int open(const QStringList& args) {
    QString file;
    QString out;
    QString pdf;
    QString cert;
    QString passwordFile;
    QString zipPasswordFile;
    bool passwordStdin = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i] == QLatin1String("--pdf") && i + 1 < args.size()) {
            pdf = args[++i];
        } else if (args[i] == QLatin1String("--cert") && i + 1 < args.size()) {
            cert = QFileInfo(args[++i]).absoluteFilePath();
        } else if (args[i] == QLatin1String("--password-file") && i + 1 < args.size()) {
            passwordFile = args[++i];
        } else if (args[i] == QLatin1String("--zip-password-file") && i + 1 < args.size()) {
            zipPasswordFile = args[++i];
        } else if (args[i] == QLatin1String("--password-stdin")) {
            passwordStdin = true;
        } else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            file = args[i];
        } else {
            return usageError(QStringLiteral("open: unexpected argument '%1'").arg(args[i]));
        }
    }
    if (file.isEmpty()) {
        return usageError(QStringLiteral("open: missing FILE"));
    }
    if (passwordStdin && !passwordFile.isEmpty()) {
        return usageError(QStringLiteral("open: give --password-stdin or --password-file, not both"));
    }
    QString password;
    if (passwordStdin || !passwordFile.isEmpty()) {
        const auto read = readSecretLine(passwordFile);
        if (!read) {
            std::fprintf(stderr, "paperlens-cli: cannot read the password from %s\n",
                         passwordStdin ? "standard input" : passwordFile.toUtf8().constData());
            return 1;
        }
        password = *read;
    }
    TerminalPrompt prompt(passwordStdin);
    if (!zipPasswordFile.isEmpty()) {
        auto zipPassword = readSecretLine(zipPasswordFile);
        if (!zipPassword) {
            std::fprintf(stderr, "paperlens-cli: cannot read the zip password from %s\n",
                         zipPasswordFile.toUtf8().constData());
            return 1;
        }
        prompt.setGivenInput(*zipPassword);
        platform::wipe(*zipPassword);
    }
    RunWorkspace run;
    if (!run.ok()) {
        return 1;
    }
    platform::Prefix& prefix = run.prefix();
    shell::AppState state;
    GivenFile chooser;
    chooser.file = QFileInfo(file).absoluteFilePath();
    PageSink view;
    platform::SealkitBinding sealkit(prompt);
    GivenCertificate dialog(prefix, prompt, sealkit, cert, password);
    platform::wipe(password);
    modUnzip32 unzip(prompt, prefix);
    shell::OpenPipeline pipeline({state, prefix, prompt, chooser, view, dialog, unzip, QString()});
    pipeline.mnuFileOpen();
    if (prompt.unanswered()) {
        std::fputs("paperlens-cli: the archive is encrypted; give its password with "
                   "--zip-password-file F\n",
                   stderr);
        return 1;
    }
    const QString page = prefix.hostPath(pipeline.pagePath());
    bool shown = !view.shown.isEmpty() && view.shown == page && QFileInfo::exists(page);
    if (shown && !pdf.isEmpty() && !printPdf(page, QFileInfo(pdf).absoluteFilePath())) {
        std::fprintf(stderr, "paperlens-cli: cannot print %s\n", pdf.toUtf8().constData());
        shown = false;
    }
    // The page moves out of the workspace where it can, else it is copied.
    if (shown && !out.isEmpty() &&
        ::rename(QFile::encodeName(page).constData(), QFile::encodeName(out).constData()) != 0 &&
        !copyPage(page, out)) {
        std::fprintf(stderr, "paperlens-cli: cannot write %s\n", out.toUtf8().constData());
        shown = false;
    }
    return shown ? 0 : 1;
}

bool wantsPdf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--pdf") {
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

// Binds the printing module: beside the program in the build tree, found
// through the program's RUNPATH when installed; null when it is missing.
GuiMain loadPdfModule(const char* argv0) {
    const QString beside = QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath() +
                           QStringLiteral("/libpaperlens-pdf.so");
    const QString moduleName =
        QFileInfo::exists(beside) ? beside : QStringLiteral("libpaperlens-pdf.so");
    void* module = ::dlopen(QFile::encodeName(moduleName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "paperlens-cli: cannot load the printing module: %s\n", ::dlerror());
        return nullptr;
    }
    printPdfFunction = reinterpret_cast<PrintPdf>(::dlsym(module, "paperlensPrintPdf"));
    auto guiMain = reinterpret_cast<GuiMain>(::dlsym(module, "paperlensGuiMain"));
    return printPdfFunction != nullptr ? guiMain : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    platform::hardenProcess();
    if (wantsPdf(argc, argv)) {
        GuiMain guiMain = loadPdfModule(argv[0]);
        if (guiMain == nullptr) {
            return 1;
        }
        return guiMain(argc, argv, run);
    }
    QCoreApplication app(argc, argv);
    return run(argc, argv);
}
