// The arguments of `paperlens-cli open`, for one document or many:
//
//   open FILE [--out PAGE.html] [--pdf PAGE.pdf] ...
//   open FILE... --out-dir DIR [--pdf-dir DIR] [--jobs N] ...
//
// Options and files come in any order.
#pragma once

#include "opendocument.h"

#include <QStringList>

#include <optional>

struct OpenArguments {
    QStringList files;
    QString out;
    QString pdf;
    QString outDir;
    QString pdfDir;
    int jobs = 0;  // 0: one per core
    QString certificate;
    QString passwordFile;
    QString zipPasswordFile;
    bool passwordStdin = false;
};

// Reads the arguments after "open"; on a usage error prints it and gives
// the exit status.
std::optional<int> parseOpenArguments(const QStringList& args, OpenArguments& given);

// Reads the password (standard input or --password-file) and the zip
// password into `settings`; on failure prints why.
bool readOpenSecrets(const OpenArguments& given, OpenSettings& settings);
// Wipes what readOpenSecrets read.
void wipeOpenSecrets(OpenSettings& settings);
