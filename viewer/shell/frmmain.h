// The main window: menus, the web view, the status bar; the commands wire
// to the open pipeline and housekeeping.
#pragma once

#include "openpipeline.h"
#include "printerchooser.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QWebEngineView;

namespace shell {

class frmMain : public QMainWindow, private WebView {
    Q_OBJECT
public:
    struct Parts {
        const platform::Prefix& prefix;
        platform::Prompt& prompt;
        platform::FileChooser& chooser;
        platform::PrinterChooser& printers;
        UnsealDialog& dialog;
        QString startPage;  // host path
    };
    explicit frmMain(Parts parts, QWidget* parent = nullptr);
    ~frmMain() override;

    QWebEngineView* webView() const { return webView_; }
    // Opens a file as File, Open does once it is chosen: what the desktop
    // hands over when the user opens a form with the program.
    void openFile(const QString& file);
    AppState& state() { return state_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void navigate(const QString& hostPath) override;
    void buildMenus();
    void buildStatusBar();
    void layoutWebView();
    void mnuFilePrint();
    // After every command that changes the shown document.
    void updateSignerInfoAction();
    void mnuHelpAbout();
    void savePlacement();

    Parts parts_;
    AppState state_;
    modUnzip32 unzip_;
    OpenPipeline pipeline_;
    QWebEngineView* webView_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QAction* signerInfo_ = nullptr;
};

// Twips per pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;

}  // namespace shell
