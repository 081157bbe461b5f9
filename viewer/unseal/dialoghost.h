// The one certificate dialog of the program as the open pipeline shows it:
// loaded on its first show, kept while hidden, unloaded after a successful
// unseal or its close box, and with the main window.
#pragma once

#include "frmdec.h"
#include "openpipeline.h"

namespace unseal {

class DialogHost : public shell::UnsealDialog {
public:
    explicit DialogHost(frmDec::Parts parts, QWidget* parent = nullptr);
    ~DialogHost() override;
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;

    void showModal(shell::AppState& state) override;
    void showSignerInfo(const QString& facts) override;
    // Unloads the dialog, if it is loaded.
    void unload();
    // The loaded dialog, or null.
    frmDec* dialog() const { return dialog_.get(); }

private:
    frmDec::Parts parts_;
    QWidget* parent_;
    std::unique_ptr<frmDec> dialog_;
};

}  // namespace unseal
