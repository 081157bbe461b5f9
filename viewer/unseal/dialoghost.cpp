#include "dialoghost.h"

#include "frmsignerinfo.h"

namespace unseal {

DialogHost::DialogHost(frmDec::Parts parts, QWidget* parent) : parts_(parts), parent_(parent) {}

DialogHost::~DialogHost() = default;

void DialogHost::unload() { dialog_.reset(); }

void DialogHost::showSignerInfo(const QString& facts) {
    frmSignerInfo dialog(parseSignerFacts(facts), parent_);
    dialog.exec();
}

void DialogHost::showModal(shell::AppState& state) {
    if (dialog_ && dialog_->unloaded()) {
        dialog_.reset();
    }
    if (!dialog_) {
        dialog_ = std::make_unique<frmDec>(parts_, parent_);
        dialog_->load();
    }
    dialog_->showModal(state);
    if (dialog_->unloaded()) {
        dialog_.reset();
    }
}

}  // namespace unseal
