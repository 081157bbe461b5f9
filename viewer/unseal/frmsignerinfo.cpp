#include "frmsignerinfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace unseal {

frmSignerInfo::frmSignerInfo(const SignerFacts& facts, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSignerInfo"));
    setWindowTitle(QStringLiteral("서명 정보"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    int row = 0;
    for (const auto& [caption, text] : signerRows(facts)) {
        auto* value = new QLabel(text, this);
        value->setObjectName(QStringLiteral("value%1").arg(row++));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, value);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace unseal
