#include "passwordbox.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>

namespace platform {

namespace {

class AsteriskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return u'*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void maskWithAsterisks(QLineEdit* box) {
    // One style for every such box, over the application's own; it lives
    // as long as the application.
    static auto* style = new AsteriskStyle(QApplication::style()->name());
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

}  // namespace platform
