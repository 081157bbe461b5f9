#include "qtseams.h"

#include "passwordbox.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>

namespace platform {

namespace {

// Texts separate their lines with CR or CR LF; Qt's labels break on LF.
QString displayed(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

Answer QtPrompt::message(const QString& text, const QString& caption, Icon icon,
                         Buttons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(caption);
    box.setText(displayed(text));
    box.setIcon(icon == Icon::Warning       ? QMessageBox::Warning
                : icon == Icon::Information ? QMessageBox::Information
                                            : QMessageBox::NoIcon);
    if (buttons == Buttons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

QString QtPrompt::input(const QString& prompt, const QString& caption, const QString& initial) {
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (auto* box = dialog.findChild<QLineEdit*>()) {
        maskWithAsterisks(box);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

QString QtFileChooser::chooseFile(const QString& title, const QString& filter) {
    // "caption|pattern|caption|pattern" as Qt's "caption;;caption" filters,
    // each caption already naming its pattern.
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        filters.append(parts[i]);
    }
    return QFileDialog::getOpenFileName(parent_, title, QString(), filters.join(QLatin1String(";;")));
}

bool QtPrinterChooser::choosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace platform
