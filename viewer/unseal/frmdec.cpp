#include "frmdec.h"

#include "passwordbox.h"
#include "secrets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace unseal {

namespace {

constexpr int kTwipsPerPixel = 15;

// Places a control at its design position, given in twips.
template <typename W>
W* place(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                        height / kTwipsPerPixel);
    return widget;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // No default button: Enter confirms only from the password box.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QPushButton* locationButton(QWidget* parent, const char* name, const char* icon,
                            const QString& tooltip) {
    QPushButton* button = pushButton(parent, name, QString());
    button->setIcon(QIcon(QStringLiteral(":/paperlens/icons/") + QLatin1String(icon)));
    button->setIconSize(QSize(30, 30));
    button->setToolTip(tooltip);
    return button;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption) {
    auto* text = new QLabel(caption, parent);
    text->setObjectName(QLatin1String(name));
    return text;
}

QLineEdit* maskedBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    platform::maskWithAsterisks(box);
    return box;
}

}  // namespace

frmDec::frmDec(Parts parts, QWidget* parent) : QDialog(parent), parts_(parts) {
    setObjectName(QStringLiteral("frmDec"));
    setWindowTitle(QStringLiteral("Norvale 발급서식 뷰어"));
    setWindowIcon(QIcon(QStringLiteral(":/paperlens/icons/window.svg")));
    setFixedSize(5190 / kTwipsPerPixel, 5550 / kTwipsPerPixel);
    buildControls();
    grid_ = std::make_unique<TableGrid>(*certGrid_);
    list_ = std::make_unique<certificates::CertificateList>(*grid_, parts_.prefix, parts_.sealkit);
    scans_ = std::make_unique<certificates::CertificateScans>(*list_);
    action_ = std::make_unique<UnsealAction>(*scans_, parts_.prompt, parts_.sealkit);
    card_ = std::make_unique<SmartCardRead>(*scans_, parts_.prompt, parts_.sealkit);
}

frmDec::~frmDec() {
    // The passwords and the keys exported from the registry go with the
    // dialog.
    clearPasswords();
    action_->clearCerts();
}

void frmDec::clearPasswords() {
    for (QLineEdit* box : {passwd_, smartPasswd_}) {
        QString text = box->text();
        platform::wipeEverywhere(text);
        box->clear();
    }
}

void frmDec::buildControls() {
    auto* picture = place(new QLabel(this), 120, 120, 4935, 735);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(QIcon(QStringLiteral(":/paperlens/icons/banner.svg")).pixmap(264, 52));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* frame = place(new QGroupBox(this), 120, 840, 4935, 855);
    frame->setObjectName(QStringLiteral("Frame1"));
    place(label(frame, "Label2", QStringLiteral("인증서 위치")), 240, 360, 1095, 255);
    auto* hdd = place(locationButton(frame, "hdd", "hdd.svg", QStringLiteral("HDD에서 읽기")),
                      1560, 240, 615, 495);
    auto* floppy = place(
        locationButton(frame, "floppy", "floppy.svg", QStringLiteral("플로피에서 읽기")), 2400,
        240, 615, 495);
    auto* cdKey = place(locationButton(frame, "cdKey", "cdkey.svg", QStringLiteral("씨디 키")),
                        3240, 240, 615, 495);
    auto* smartCard = place(
        locationButton(frame, "smartCard", "smartcard.svg", QStringLiteral("스마트카드")), 4080,
        240, 615, 495);

    auto* border = place(new QGroupBox(QStringLiteral("인증서 선택"), this), 120, 1800, 4935, 3135);
    border->setObjectName(QStringLiteral("border"));
    certGrid_ = place(new QTableWidget(2, 2, border), 120, 360, 4695, 1335);
    certGrid_->setObjectName(QStringLiteral("certGrid"));
    certGrid_->horizontalHeader()->hide();
    certGrid_->verticalHeader()->hide();
    certGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    certGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    certGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    certGrid_->setTabKeyNavigation(false);
    place(label(border, "Label4", QStringLiteral("스마트카드 암호")), 120, 2040, 1455, 255);
    smartPasswd_ = place(maskedBox(border, "smartPasswd"), 1560, 1920, 2175, 375);
    smartButton_ = place(pushButton(border, "smartButton", QStringLiteral("읽기")), 3840, 1920,
                         855, 375);
    place(label(border, "Label1", QStringLiteral("암      호")), 375, 2640, 975, 255);
    passwd_ = place(maskedBox(border, "passwd"), 1560, 2520, 3255, 390);

    auto* confirm = place(pushButton(this, "confirmButton", QStringLiteral("확인")), 1560, 5040,
                          855, 375);
    auto* cancel = place(pushButton(this, "cancelButton", QStringLiteral("취소")), 2640, 5040, 855,
                         375);
    setSmartControls(false);

    connect(hdd, &QPushButton::clicked, this,
            [this] { chooseLocation(certificates::Location::HardDisk); });
    connect(floppy, &QPushButton::clicked, this,
            [this] { chooseLocation(certificates::Location::Floppy); });
    connect(cdKey, &QPushButton::clicked, this,
            [this] { chooseLocation(certificates::Location::CdRom); });
    connect(smartCard, &QPushButton::clicked, this, &frmDec::smartCardClick);
    connect(certGrid_, &QTableWidget::cellClicked, this, &frmDec::selectCurrentRow);
    connect(certGrid_, &QTableWidget::currentCellChanged, this, &frmDec::selectCurrentRow);
    connect(passwd_, &QLineEdit::returnPressed, this, &frmDec::confirmClick);
    connect(smartButton_, &QPushButton::clicked, this, [this] { readCard(ReadTrigger::Button); });
    connect(smartPasswd_, &QLineEdit::returnPressed, this,
            [this] { readCard(ReadTrigger::Enter); });
    connect(confirm, &QPushButton::clicked, this, &frmDec::confirmClick);
    connect(cancel, &QPushButton::clicked, this, &frmDec::cancelClick);
}

void frmDec::setSmartControls(bool enabled) {
    smartPasswd_->setEnabled(enabled);
    smartButton_->setEnabled(enabled);
    smartPasswdColour_ = enabled ? kWindowBackgroundColour : kInactiveBorderColour;
    QPalette colours = smartPasswd_->palette();
    const QColor back = enabled ? palette().color(QPalette::Active, QPalette::Base)
                                : palette().color(QPalette::Inactive, QPalette::Window);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, back);
    }
    smartPasswd_->setPalette(colours);
}

void frmDec::load() {
    certificates::listLocation(certificates::Location::HardDisk, *scans_, *list_);
    setSmartControls(false);
}

void frmDec::showModal(shell::AppState& state) {
    state_ = &state;
    exec();
    state_ = nullptr;
}

void frmDec::chooseLocation(certificates::Location location) {
    setSmartControls(false);
    certificates::listLocation(location, *scans_, *list_);
}

void frmDec::smartCardClick() {
    setSmartControls(true);
    smartPasswd_->clear();
    card_->chooseSmartCard();
}

void frmDec::readCard(ReadTrigger trigger) {
    QString pin = smartPasswd_->text();
    (void)card_->read(pin, trigger);
    platform::wipe(pin);
}

void frmDec::selectCurrentRow() {
    const int r = grid_->currentRow();
    if (r == 0) {
        return;
    }
    grid_->selectBlock(r, r, 0, 1);
    certGrid_->viewport()->update();
}

void frmDec::confirmClick() {
    if (state_ == nullptr) {
        return;
    }
    QString password = passwd_->text();
    const bool unsealed = action_->confirm(*state_, grid_->currentRow(), password);
    platform::wipe(password);
    if (unsealed) {
        unloaded_ = true;
        clearPasswords();
        done(QDialog::Accepted);
    }
}

void frmDec::cancelClick() { hide(); }

void frmDec::keyPressEvent(QKeyEvent* event) {
    // Escape does not cancel, and Enter presses no default button.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmDec::closeEvent(QCloseEvent* event) {
    unloaded_ = true;
    QDialog::closeEvent(event);
}

}  // namespace unseal
