// Paperlens: the viewer of sealed forms.
#include "dialoghost.h"
#include "frmmain.h"
#include "paperlensversion.h"
#include "qtseams.h"
#include "resources.h"
#include "termination.h"
#include "workspace.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>

namespace {

// A signal ends the program through its event loop, so that the window
// closes as Exit closes it and the workspace goes with the process. Should
// the loop not get there (a second signal, or 10 seconds), the workspace
// is removed at once and the process ends.
void endOnSignals(platform::ProcessWorkspace& workspace) {
    platform::onTerminationSignal([&workspace](int signal) {
        static std::atomic<bool> received{false};
        const auto endNow = [&workspace, signal] {
            workspace.remove();
            ::_exit(128 + signal);
        };
        if (received.exchange(true)) {
            endNow();
        }
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        std::thread([endNow] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            endNow();
        }).detach();
    });
}

}  // namespace

int main(int argc, char** argv) {
    platform::hardenProcess();
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        // Chromium refuses to start as root with its sandbox on.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("paperlens: running as root, so the web view's sandbox is off\n", stderr);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Paperlens"));
    QCoreApplication::setApplicationName(QStringLiteral("Paperlens"));
    QGuiApplication::setDesktopFileName(QStringLiteral(PAPERLENS_APP_ID));
    (void)platform::installQtKorean();
    platform::Prefix prefix(platform::Prefix::defaultLocation());
    if (!prefix.ensure()) {
        std::fprintf(stderr, "paperlens: cannot make the workspace in %s\n",
                     prefix.root().toUtf8().constData());
        return 1;
    }
    platform::ProcessWorkspace workspace(prefix);
    if (!workspace.ok()) {
        std::fprintf(stderr, "paperlens: cannot make a workspace in %s\n",
                     prefix.workspaceRoot().toUtf8().constData());
        return 1;
    }
    endOnSignals(workspace);
    platform::QtPrompt prompt;
    platform::QtFileChooser chooser;
    platform::QtPrinterChooser printers;
    platform::SealkitBinding sealkit(prompt);
    unseal::DialogHost dialog({prefix, prompt, sealkit});
    shell::frmMain window(
        {prefix, prompt, chooser, printers, dialog, platform::shippedFile("loading.html")});
    window.show();
    // A form handed over by the desktop (paperlens FILE) opens once the
    // window is up.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) {
        const QString file = QFileInfo(arguments.at(1)).absoluteFilePath();
        QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
    }
    const int status = app.exec();
    // The signals end the process at once from here on: the workspace is
    // about to go anyway.
    platform::onTerminationSignal([](int signal) { ::_exit(128 + signal); });
    return status;
}
