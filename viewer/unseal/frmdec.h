// The certificate dialog: where the certificate lives, which one, and its
// password. It wires its controls to the certificate list, the scans and
// the unseal action and holds no rules of its own.
#pragma once

#include "appstate.h"
#include "locations.h"
#include "smartcardread.h"
#include "tablegrid.h"
#include "unsealaction.h"

#include <QDialog>

#include <memory>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace unseal {

// System colours as the dialog's design names them.
constexpr uint32_t kInactiveBorderColour = 0x8000000B;
constexpr uint32_t kWindowBackgroundColour = 0x80000005;

class frmDec : public QDialog {
    Q_OBJECT
public:
    struct Parts {
        const platform::Prefix& prefix;
        platform::Prompt& prompt;
        platform::SealkitBinding& sealkit;
    };
    explicit frmDec(Parts parts, QWidget* parent = nullptr);
    ~frmDec() override;

    // The load handler: the hard-disk certificates, smart-card controls off.
    void load();
    // Shows the dialog modally for the document whose members `state`
    // names; returns when it is hidden or unloaded.
    void showModal(shell::AppState& state);
    // True once the dialog should go: after a successful unseal or its
    // close box.
    bool unloaded() const { return unloaded_; }

    certificates::CertificateList& certificateList() { return *list_; }
    // The back colour of the PIN box, as a system colour value.
    uint32_t smartPasswdColour() const { return smartPasswdColour_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void chooseLocation(certificates::Location location);
    void smartCardClick();
    void readCard(ReadTrigger trigger);
    void setSmartControls(bool enabled);
    void selectCurrentRow();
    void confirmClick();
    void cancelClick();
    // Wipes what the two password boxes hold, then empties them.
    void clearPasswords();

    Parts parts_;
    QTableWidget* certGrid_ = nullptr;
    QLineEdit* smartPasswd_ = nullptr;
    QPushButton* smartButton_ = nullptr;
    QLineEdit* passwd_ = nullptr;
    std::unique_ptr<TableGrid> grid_;
    std::unique_ptr<certificates::CertificateList> list_;
    std::unique_ptr<certificates::CertificateScans> scans_;
    std::unique_ptr<UnsealAction> action_;
    std::unique_ptr<SmartCardRead> card_;
    shell::AppState* state_ = nullptr;
    uint32_t smartPasswdColour_ = kInactiveBorderColour;
    bool unloaded_ = false;
};

}  // namespace unseal
