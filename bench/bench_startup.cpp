// The time from process start to the start page shown in the main window
// (offscreen), built from the same window code as the viewer.
#include "frmmain.h"
#include "offscreen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Seconds since this process started, from the kernel's own record.
double sinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    double started = std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return uptime - started;
}

struct Nothing : platform::Prompt,
                 platform::FileChooser,
                 platform::PrinterChooser,
                 shell::UnsealDialog {
    platform::Answer message(const QString&, const QString&, platform::Icon,
                             platform::Buttons) override {
        return platform::Answer::Ok;
    }
    QString input(const QString&, const QString&, const QString&) override { return QString(); }
    QString chooseFile(const QString&, const QString&) override { return QString(); }
    bool choosePrinter(QPrinter&) override { return false; }
    void showModal(shell::AppState&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    bench::prepareOffscreenEngine(false);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    platform::Prefix prefix(dir.path() + QStringLiteral("/prefix"));
    if (!prefix.ensure()) {
        return 1;
    }
    Nothing nothing;
    shell::frmMain window(
        {prefix, nothing, nothing, nothing, nothing, QStringLiteral(PAPERLENS_RESOURCES "/loading.html")});
    QObject::connect(window.webView(), &QWebEngineView::loadFinished, &app, [](bool ok) {
        std::printf("start page %s %.0f ms after process start (aim: under 1000 ms)\n",
                    ok ? "shown" : "FAILED", sinceProcessStart() * 1e3);
        QCoreApplication::exit(ok ? 0 : 1);
    });
    window.show();
    return app.exec();
}
