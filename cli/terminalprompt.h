// The prompt seam on a terminal: messages go to standard error; questions
// are asked on the terminal, and without one the overwrite question is
// answered No and an input box gets the empty answer.
#pragma once

#include "prompt.h"

#include <optional>

class TerminalPrompt : public platform::Prompt {
public:
    platform::Answer message(const QString& text, const QString& caption, platform::Icon icon,
                             platform::Buttons buttons) override;
    QString input(const QString& prompt, const QString& caption, const QString& initial) override;
};

// The first line of a file, or of standard input when `file` is empty,
// without its line end: a password or PIN. Nothing when it cannot be read.
std::optional<QString> readSecretLine(const QString& file = QString());
