// The prompt seam on a terminal: messages go to standard error. Questions
// are asked on the terminal only when the run is interactive (standard
// input and error are terminals and standard input carries no password);
// otherwise the overwrite question is answered No and an input box gets
// the zip password given on the command line, or nothing.
#pragma once

#include "prompt.h"

#include <QStringList>

#include <optional>

class TerminalPrompt : public platform::Prompt {
public:
    // `stdinTaken`: standard input carries a password, not answers.
    explicit TerminalPrompt(bool stdinTaken = false);
    ~TerminalPrompt() override;
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    platform::Answer message(const QString& text, const QString& caption, platform::Icon icon,
                             platform::Buttons buttons) override;
    QString input(const QString& prompt, const QString& caption, const QString& initial) override;

    // The answer every input box gets instead of asking.
    void setGivenInput(const QString& text);
    // An input box was shown that could not be answered.
    bool unanswered() const { return unanswered_; }
    // From now on messages are kept in `messages` (null: printed again),
    // and nothing is asked; clears what is unanswered.
    void collectMessages(QStringList* messages);

private:
    bool interactive_;
    std::optional<QString> given_;
    bool unanswered_ = false;
    QStringList* collected_ = nullptr;
};

// The first line of a file, or of standard input when `file` is empty,
// without its line end: a password or PIN. Nothing when it cannot be read.
std::optional<QString> readSecretLine(const QString& file = QString());
