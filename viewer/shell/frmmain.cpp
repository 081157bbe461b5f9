#include "frmmain.h"

#include "housekeeping.h"
#include "paperlensversion.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QSessionManager>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace shell {

namespace {

const QString kCaption = QStringLiteral("Norvale 발급서식 뷰어");
const QString kPrintCaption = QStringLiteral("Moonpetal Browser v1.0.0");
// The client area of the design, in twips.
constexpr int kClientWidth = 10800;
constexpr int kClientHeight = 9645;
constexpr int kPanelMinimum = 1440;

int pixels(int twips) { return twips / kTwipsPerPixel; }

// Only local files are shown; nothing leaves the view for the network.
class LocalOnly : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != QLatin1String("file") && scheme != QLatin1String("data") &&
            scheme != QLatin1String("qrc")) {
            info.block(true);
        }
    }
};

QIcon drawnIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2b, 0x5c, 0x9e));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 1, 14, 14), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 4, 8, 1.5));
    p.drawRect(QRectF(4, 7, 8, 1.5));
    p.drawRect(QRectF(4, 10, 5, 1.5));
    return QIcon(pixmap);
}

}  // namespace

frmMain::frmMain(Parts parts, QWidget* parent)
    : QMainWindow(parent),
      parts_(parts),
      unzip_(parts.prompt, parts.prefix),
      pipeline_({state_, parts.prefix, parts.prompt, parts.chooser, *this, parts.dialog, unzip_,
                 parts.startPage}) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kCaption);
    setWindowIcon(drawnIcon());
    auto* client = new QWidget(this);
    setCentralWidget(client);
    webView_ = new QWebEngineView(client);
    webView_->setObjectName(QStringLiteral("WebBrowser1"));
    QWebEngineSettings* settings = webView_->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    webView_->page()->profile()->setUrlRequestInterceptor(new LocalOnly(webView_));
    // A print button inside the form (window.print()) prints as File,
    // Print does.
    connect(webView_->page(), &QWebEnginePage::printRequested, this, [this] { mnuFilePrint(); });
    buildMenus();
    buildStatusBar();
    resize(pixels(kClientWidth), pixels(kClientHeight));
#if QT_CONFIG(sessionmanager)
    // The desktop session is ending: nothing decrypted stays behind, even
    // if the process is then ended without a word.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) {
                pipeline_.mnuFileClose();
                updateSignerInfoAction();
            });
#endif
    // Load: lay the view out, then show the start page.
    layoutWebView();
    navigate(parts_.startPage);
}

frmMain::~frmMain() = default;

void frmMain::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("파일(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    auto add = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(file, "mnuFileOpen", QStringLiteral("열기(&O)..."), [this] {
        pipeline_.mnuFileOpen();
        updateSignerInfoAction();
    });
    add(file, "mnuFileClose", QStringLiteral("닫기(&C)"), [this] {
        pipeline_.mnuFileClose();
        updateSignerInfoAction();
    });
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileBar0"));
    add(file, "mnuFilePrint", QStringLiteral("인쇄(&P)..."), [this] { mnuFilePrint(); });
    signerInfo_ = add(file, "mnuFileSignerInfo", QStringLiteral("서명 정보(&I)..."),
                      [this] { parts_.dialog.showSignerInfo(state_.SignerInfo); });
    signerInfo_->setEnabled(false);
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileBar1"));
    add(file, "mnuFileExit", QStringLiteral("끝내기(&X)"), [this] { close(); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("도움말(&H)"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, "mnuHelpAbout", QStringLiteral("정보(&A)"), [this] { mnuHelpAbout(); });
}

void frmMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    bar->setSizeGripEnabled(false);
    auto* status = new QLabel(QStringLiteral("상태"), bar);
    status->setMinimumWidth(pixels(kPanelMinimum));
    dateLabel_ = new QLabel(bar);
    timeLabel_ = new QLabel(bar);
    dateLabel_->setMinimumWidth(pixels(kPanelMinimum));
    timeLabel_->setMinimumWidth(pixels(kPanelMinimum));
    bar->addWidget(status, 1);
    bar->addPermanentWidget(dateLabel_);
    bar->addPermanentWidget(timeLabel_);
    auto tick = [this] {
        const QDateTime now = QDateTime::currentDateTime();
        dateLabel_->setText(QLocale(QLocale::Korean).toString(now.date(), QLocale::ShortFormat));
        timeLabel_->setText(QLocale(QLocale::Korean).toString(now.time(), QLocale::ShortFormat));
    };
    tick();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, tick);
    timer->start(1000);
}

void frmMain::layoutWebView() {
    // Measured on the outer size, in twips: the view keeps its last size
    // once the window is 930 high or 95 wide or less.
    const QSize outer = frameGeometry().size() * kTwipsPerPixel;
    QRect geometry = webView_->geometry();
    geometry.moveTopLeft(QPoint(0, 0));
    if (outer.height() > 930) {
        geometry.setHeight(pixels(outer.height() - 930));
    }
    if (outer.width() > 95) {
        geometry.setWidth(pixels(outer.width() - 95));
    }
    webView_->setGeometry(geometry);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutWebView();
}

void frmMain::openFile(const QString& file) {
    pipeline_.openFile(file);
    updateSignerInfoAction();
}

void frmMain::updateSignerInfoAction() { signerInfo_->setEnabled(!state_.SignerInfo.isEmpty()); }

void frmMain::navigate(const QString& hostPath) { webView_->setUrl(QUrl::fromLocalFile(hostPath)); }

void frmMain::mnuHelpAbout() {
    parts_.prompt.message(kCaption + u'\r' +
                              QStringLiteral("버전 %1.%2")
                                  .arg(PAPERLENS_VERSION_MAJOR)
                                  .arg(PAPERLENS_VERSION_MINOR) +
                              u'\r' + u'\r' +
                              QStringLiteral("이 프로그램의 권리는 Norvale에 있습니다."),
                          platform::kProgramTitle, platform::Icon::None, platform::Buttons::Ok);
}

void frmMain::mnuFilePrint() {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    if (!parts_.printers.choosePrinter(*printer)) {
        return;
    }
    auto report = [this](bool ok) {
        if (!ok) {
            parts_.prompt.message(QStringLiteral("인쇄하지 못했습니다."), kPrintCaption,
                                  platform::Icon::Information, platform::Buttons::Ok);
        }
    };
    if (printer->outputFormat() == QPrinter::PdfFormat) {
        // Vector text rather than one image a page.
        const QString file = printer->outputFileName();
        connect(webView_->page(), &QWebEnginePage::pdfPrintingFinished, this,
                [report](const QString&, bool ok) { report(ok); }, Qt::SingleShotConnection);
        webView_->page()->printToPdf(file, printer->pageLayout());
        return;
    }
    // The printer must live until printing has finished.
    connect(webView_, &QWebEngineView::printFinished, this,
            [printer, report](bool ok) { report(ok); }, Qt::SingleShotConnection);
    webView_->print(printer.get());
}

void frmMain::savePlacement() {
    if (isMinimized()) {
        return;
    }
    const QRect frame = frameGeometry();
    QSettings settings(QStringLiteral("Paperlens"), QStringLiteral("Paperlens"));
    settings.beginGroup(QStringLiteral("Settings"));
    settings.setValue(QStringLiteral("MainLeft"), QString::number(frame.left() * kTwipsPerPixel));
    settings.setValue(QStringLiteral("MainTop"), QString::number(frame.top() * kTwipsPerPixel));
    settings.setValue(QStringLiteral("MainWidth"), QString::number(frame.width() * kTwipsPerPixel));
    settings.setValue(QStringLiteral("MainHeight"),
                      QString::number(frame.height() * kTwipsPerPixel));
}

void frmMain::closeEvent(QCloseEvent* event) {
    (void)deleteFileIfExists(pipeline_.pagePath(), parts_.prefix);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this) {
            window->close();
        }
    }
    savePlacement();
    event->accept();
}

}  // namespace shell
