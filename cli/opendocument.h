// One document opened as `paperlens-cli open` opens it: extracted,
// unsealed and rendered in a workspace of its own, its page moved to
// where the caller wants it.
#pragma once

#include "sealkitbinding.h"
#include "terminalprompt.h"

#include <QString>

#include <functional>
#include <optional>

struct OpenSettings {
    QString certificate;  // a certificate folder or a class-2 "_sig.cer" file
    QString password;
    std::optional<QString> zipPassword;  // --zip-password-file's line
    bool preparedPrefix = false;  // made and swept once for a run of many
};

// Opens `file`, hands its page to `print` (when given) while it is still in
// the workspace, and moves it to `out` (when not empty). The messages the
// pipeline shows go to `prompt`; a failure of this program's own (an
// archive whose password was not given, a page that cannot be printed or
// written) is returned in `failure`. True when the page was written.
bool openDocument(const QString& file, const OpenSettings& settings, TerminalPrompt& prompt,
                  platform::SealkitBinding& sealkit, const QString& out,
                  const std::function<bool(const QString& page, QString& failure)>& print,
                  QString& failure);

// Moves (or, across file systems, copies) a page to `to`.
bool movePage(const QString& from, const QString& to);
