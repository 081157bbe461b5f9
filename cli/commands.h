// The subcommands of paperlens-cli, each taking the arguments after its
// name and returning the exit status.
#pragma once

#include <QString>
#include <QStringList>

// A usage error: one line that names what is wrong and where to read
// more, on standard error; returns the exit status 2.
int usageError(const QString& what);

int certs(const QStringList& args);
// `open FILE... --out-dir DIR`: runs before any Qt application object
// exists, since it starts its worker processes first.
int openMany(int argc, char** argv);

// The printing module (the web engine, loaded only to print): a GUI
// application around `body`, and printing pages to PDF.
using GuiMain = int (*)(int argc, char** argv, int (*body)(int, char**));
using PrintPdf = int (*)(const char* page, const char* pdf);
using PrintPdfs = int (*)(const char* const* pages, const char* const* pdfs, int count,
                          int parallel, int* results);
using PreparePrinting = void (*)();
GuiMain loadPdfModule();
PrintPdf pdfPrinter();
PrintPdfs pdfBatchPrinter();
PreparePrinting printingPreparer();
int verify(const QStringList& args);
int seal(const QStringList& args);
int receipt(const QStringList& args);
