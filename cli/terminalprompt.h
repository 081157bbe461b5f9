// The prompt seam on a terminal: messages go to standard error; questions
// are asked on the terminal, and without one the overwrite question is
// answered No and an input box gets the empty answer.
#pragma once

#include "prompt.h"

class TerminalPrompt : public platform::Prompt {
public:
    platform::Answer message(const QString& text, const QString& caption, platform::Icon icon,
                             platform::Buttons buttons) override;
    QString input(const QString& prompt, const QString& caption, const QString& initial) override;
};
