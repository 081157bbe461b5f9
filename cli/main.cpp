// paperlens-cli: the viewer's pipeline without a window.
//
//   paperlens-cli open FILE [--out PAGE.html]
//
// Exit status: 0 when the page was written, 1 when the document cannot be
// shown (the reason goes to standard error), 2 for a usage error.
#include "openpipeline.h"
#include "terminalprompt.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

const char kUsage[] =
    "usage: paperlens-cli open FILE [--out PAGE.html]\n"
    "\n"
    "Opens a sealed form (.rcp receipt) as the viewer does: extracts it,\n"
    "transforms its XML with its XSL and writes the page, exactly as the\n"
    "viewer writes it (FF FE, then UTF-16LE), to PAGE.html.\n"
    "Messages go to standard error. Exit status: 0 page written, 1 the\n"
    "document cannot be shown, 2 usage error.\n"
    "The workspace is $PAPERLENS_PREFIX (default ~/.local/share/paperlens).\n";

int usage(int status) {
    std::fputs(kUsage, status == 0 ? stdout : stderr);
    return status;
}

struct GivenFile : platform::FileChooser {
    QString file;
    QString chooseFile(const QString&, const QString&) override { return file; }
};

struct PageSink : shell::WebView {
    QString shown;
    void navigate(const QString& hostPath) override { shown = hostPath; }
};

// No certificate dialog yet: an issued document is not unsealed.
struct NoDialog : shell::UnsealDialog {
    void showModal() override {}
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

int open(const QStringList& args) {
    QString file;
    QString out;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            file = args[i];
        } else {
            return usage(2);
        }
    }
    if (file.isEmpty()) {
        return usage(2);
    }
    platform::Prefix prefix(platform::Prefix::defaultLocation());
    if (!prefix.ensure()) {
        std::fprintf(stderr, "paperlens-cli: cannot make the workspace in %s\n",
                     prefix.root().toUtf8().constData());
        return 1;
    }
    shell::AppState state;
    TerminalPrompt prompt;
    GivenFile chooser;
    chooser.file = QFileInfo(file).absoluteFilePath();
    PageSink view;
    NoDialog dialog;
    modUnzip32 unzip(prompt, prefix);
    shell::OpenPipeline pipeline({state, prefix, prompt, chooser, view, dialog, unzip, QString()});
    pipeline.mnuFileOpen();
    const QString page = prefix.hostPath(pipeline.pagePath());
    bool shown = !view.shown.isEmpty() && view.shown == page && QFileInfo::exists(page);
    if (shown && !out.isEmpty() && !copyPage(page, out)) {
        std::fprintf(stderr, "paperlens-cli: cannot write %s\n", out.toUtf8().constData());
        shown = false;
    }
    // The page is not left behind, as the window deletes it at exit.
    QFile::remove(page);
    return shown ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return usage(2);
    }
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        return usage(0);
    }
    if (args[0] == QLatin1String("open")) {
        return open(args.mid(1));
    }
    return usage(2);
}
