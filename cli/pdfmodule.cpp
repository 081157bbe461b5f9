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

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

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
    // Standard error carries the program's own lines (one per failed file
    // in a batch): the engine's start-up talk is dropped.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    return body(argc, argv);
}

// Starts the web engine now, while other work goes on (a batch's workers
// render its pages meanwhile): the first page made sets the engine up.
__attribute__((visibility("default"))) void paperlensPreparePrinting();

// Loads each page offscreen and prints it as a vector PDF, up to
// `parallel` pages at a time; results[i] is 0 where pdfs[i] was written.
__attribute__((visibility("default"))) int paperlensPrintPdfs(const char* const* pages,
                                                              const char* const* pdfs, int count,
                                                              int parallel, int* results);

namespace {
// The page that started the engine; it goes when the printing is done.
QWebEnginePage* enginePage = nullptr;
}  // namespace

void paperlensPreparePrinting() {
    if (enginePage == nullptr) {
        enginePage = new QWebEnginePage();
    }
}

int paperlensPrintPdfs(const char* const* pages, const char* const* pdfs, int count, int parallel,
                       int* results) {
    QEventLoop loop;
    int next = 0;
    int running = 0;
    int failed = 0;
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                             QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    // Each slot keeps its page (and so its renderer) from one document to
    // the next; a page that does not load or print within a minute is let
    // go, its document fails, and the slot gets a new page.
    struct Slot {
        QWebEnginePage* view = nullptr;
        QTimer deadline;
        int index = -1;
        QString target;
    };
    std::vector<std::unique_ptr<Slot>> printers;
    std::function<void(Slot&)> startNext;
    const auto finish = [&](Slot& slot, bool ok) {
        if (slot.index < 0) {
            return;
        }
        slot.deadline.stop();
        results[slot.index] = ok ? 0 : 1;
        failed += ok ? 0 : 1;
        slot.index = -1;
        --running;
        startNext(slot);
    };
    const auto makeView = [&](Slot& slot) {
        slot.view = new QWebEnginePage();
        QObject::connect(slot.view, &QWebEnginePage::loadFinished, slot.view,
                         [&slot, &finish, &layout](bool ok) {
                             if (slot.index < 0) {
                                 return;
                             }
                             if (!ok) {
                                 finish(slot, false);
                                 return;
                             }
                             slot.view->printToPdf(slot.target, layout);
                         });
        QObject::connect(slot.view, &QWebEnginePage::pdfPrintingFinished, slot.view,
                         [&slot, &finish](const QString&, bool ok) { finish(slot, ok); });
    };
    startNext = [&](Slot& slot) {
        if (next >= count) {
            if (running == 0) {
                loop.quit();
            }
            return;
        }
        slot.index = next++;
        slot.target = QString::fromUtf8(pdfs[slot.index]);
        results[slot.index] = 1;
        ++running;
        slot.deadline.start(60000);
        slot.view->load(QUrl::fromLocalFile(QString::fromUtf8(pages[slot.index])));
    };
    for (int i = 0; i < std::max(1, parallel) && i < count; ++i) {
        printers.push_back(std::make_unique<Slot>());
        Slot& slot = *printers.back();
        slot.deadline.setSingleShot(true);
        QObject::connect(&slot.deadline, &QTimer::timeout, &loop, [&slot, &finish, &makeView] {
            QWebEnginePage* stuck = slot.view;
            makeView(slot);
            stuck->deleteLater();
            finish(slot, false);
        });
        makeView(slot);
    }
    for (const auto& slot : printers) {
        startNext(*slot);
    }
    if (count > 0) {
        loop.exec();
    }
    for (const auto& slot : printers) {
        delete slot->view;
    }
    delete enginePage;
    enginePage = nullptr;
    // Pages let go inside the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return failed;
}
}
