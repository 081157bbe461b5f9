// The small dialog that tells who signed the shown document.
#pragma once

#include "signerfacts.h"

#include <QDialog>

namespace unseal {

class frmSignerInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmSignerInfo(const SignerFacts& facts, QWidget* parent = nullptr);
};

}  // namespace unseal
