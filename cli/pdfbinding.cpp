#include "pdfbinding.h"

#include "resources.h"

#include <QFile>
#include <QString>

#include <dlfcn.h>

#include <cstdio>

namespace {

PrintPdfs printPdfsFunction = nullptr;
PreparePrinting preparePrintingFunction = nullptr;

}  // namespace

GuiMain loadPdfModule() {
    const QString moduleName = platform::privateLibrary(QStringLiteral("libpaperlens-pdf.so"));
    void* module = ::dlopen(QFile::encodeName(moduleName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "paperlens-cli: cannot load the printing module: %s\n", ::dlerror());
        return nullptr;
    }
    printPdfsFunction = reinterpret_cast<PrintPdfs>(::dlsym(module, "paperlensPrintPdfs"));
    preparePrintingFunction =
        reinterpret_cast<PreparePrinting>(::dlsym(module, "paperlensPreparePrinting"));
    auto guiMain = reinterpret_cast<GuiMain>(::dlsym(module, "paperlensGuiMain"));
    return printPdfsFunction != nullptr && preparePrintingFunction != nullptr ? guiMain : nullptr;
}

PrintPdfs pdfBatchPrinter() { return printPdfsFunction; }
PreparePrinting printingPreparer() { return preparePrintingFunction; }

