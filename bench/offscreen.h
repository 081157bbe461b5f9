// What the window benchmarks share: the offscreen web engine's set-up.
#pragma once

#include <QCoreApplication>

#include <unistd.h>

namespace bench {

// Offscreen, quiet, and (as root) without Chromium's sandbox; call before
// the application object is made.
inline void prepareOffscreenEngine(bool quiet) {
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    if (quiet) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace bench
