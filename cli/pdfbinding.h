// The printing module of paperlens-cli: the web engine, which is large to
// load, lives in a module of its own that only --pdf and --pdf-dir load.
#pragma once

// A GUI application around `body`, printing pages to PDF, and starting the
// engine ahead of the printing.
using GuiMain = int (*)(int argc, char** argv, int (*body)(int, char**));
using PrintPdfs = int (*)(const char* const* pages, const char* const* pdfs, int count,
                          int parallel, int* results);
using PreparePrinting = void (*)();

// Loads the module where the program's private libraries are; null, after
// saying why on standard error, when it or one of its functions is missing.
GuiMain loadPdfModule();
// The module's functions once it is loaded; null before.
PrintPdfs pdfBatchPrinter();
PreparePrinting printingPreparer();
