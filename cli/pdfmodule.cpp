// The printing module of paperlens-cli: a GUI application on the offscreen
// platform, and printing a page to PDF through the web engine.
#include <QEventLoop>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>

#include <unistd.h>

extern "C" {

__attribute__((visibility("default"))) int paperlensGuiMain(int argc, char** argv,
                                                            int (*body)(int, char**)) {
    if (::geteuid() == 0) {
        // Chromium refuses to start as root with its sandbox on.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    return body(argc, argv);
}

// Loads the page offscreen and prints it as a vector PDF; 0 on success.
__attribute__((visibility("default"))) int paperlensPrintPdf(const char* page, const char* pdf) {
    QWebEnginePage view;
    QEventLoop loop;
    bool loaded = false;
    bool printed = false;
    const QString target = QString::fromUtf8(pdf);
    QObject::connect(&view, &QWebEnginePage::loadFinished, &loop, [&](bool ok) {
        loaded = ok;
        if (!ok) {
            loop.quit();
            return;
        }
        view.printToPdf(target, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                            QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    });
    QObject::connect(&view, &QWebEnginePage::pdfPrintingFinished, &loop,
                     [&](const QString&, bool ok) {
                         printed = ok;
                         loop.quit();
                     });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    view.load(QUrl::fromLocalFile(QString::fromUtf8(page)));
    loop.exec();
    return loaded && printed ? 0 : 1;
}
}
