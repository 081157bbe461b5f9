// Paperlens: the viewer of sealed forms.
#include "dialoghost.h"
#include "frmmain.h"
#include "qtseams.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>

namespace {

// The start page ships with the program: share/paperlens beside bin/, or
// the source tree's resources for a build.
QString startPage() {
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {bin + QStringLiteral("/../share/paperlens/loading.html"),
                                     QStringLiteral(PAPERLENS_RESOURCES "/loading.html")}) {
        if (QFileInfo::exists(candidate)) {
            return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return QStringLiteral(PAPERLENS_RESOURCES "/loading.html");
}

}  // namespace

int main(int argc, char** argv) {
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        // Chromium refuses to start as root with its sandbox on.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("paperlens: running as root, so the web view's sandbox is off\n", stderr);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Paperlens"));
    QCoreApplication::setApplicationName(QStringLiteral("Paperlens"));
    platform::Prefix prefix(platform::Prefix::defaultLocation());
    if (!prefix.ensure()) {
        std::fprintf(stderr, "paperlens: cannot make the workspace in %s\n",
                     prefix.root().toUtf8().constData());
        return 1;
    }
    platform::QtPrompt prompt;
    platform::QtFileChooser chooser;
    platform::QtPrinterChooser printers;
    prefix.attachMedia(platform::mountedMedia());
    platform::SealkitBinding sealkit(prompt);
    unseal::DialogHost dialog({prefix, prompt, sealkit});
    shell::frmMain window({prefix, prompt, chooser, printers, dialog, startPage()});
    window.show();
    return app.exec();
}
