// The Qt implementations of the prompt and file-chooser seams.
#pragma once

#include "filechooser.h"
#include "printerchooser.h"
#include "prompt.h"

class QWidget;

namespace platform {

class QtPrompt : public Prompt {
public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    Answer message(const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override;
    QString input(const QString& prompt, const QString& caption, const QString& initial) override;

private:
    QWidget* parent_;
};

class QtFileChooser : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
    QString chooseFile(const QString& title, const QString& filter) override;

private:
    QWidget* parent_;
};

class QtPrinterChooser : public PrinterChooser {
public:
    explicit QtPrinterChooser(QWidget* parent = nullptr) : parent_(parent) {}
    bool choosePrinter(QPrinter& printer) override;

private:
    QWidget* parent_;
};

}  // namespace platform
