// The messages for the toolkit's status codes that the user can meet.
#pragma once

#include "prompt.h"

#include <QString>

#include <optional>

namespace unseal {

// The box text for a status given as decimal text: prefix + "에러 [" +
// code + "] " + the table's message. Nothing for a code the table does
// not list.
std::optional<QString> toolkitErrorText(const QString& prefix, const QString& code);

// An OK-only box without an icon under the program's title: how every
// message of the dialog is shown.
void showPlainMessage(platform::Prompt& prompt, const QString& text);

// Shows that text in an OK-only box without an icon under the program's
// title; an unlisted code shows nothing.
void showToolkitError(platform::Prompt& prompt, const QString& prefix, const QString& code);

}  // namespace unseal
