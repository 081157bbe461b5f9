// The prompt seam for tests: records every box and answers from a script.
#pragma once

#include "prompt.h"

#include <QStringList>

#include <deque>

namespace testsupport {

class ScriptedPrompt : public platform::Prompt {
public:
    struct Shown {
        QString text, caption;
        platform::Icon icon;
        platform::Buttons buttons;
    };

    std::deque<platform::Answer> answers;  // for Yes/No/Cancel boxes, in order
    std::deque<QString> inputs;            // for input boxes, in order
    std::vector<Shown> shown;
    QStringList asked;  // prompts of the input boxes shown

    platform::Answer message(const QString& text, const QString& caption, platform::Icon icon,
                             platform::Buttons buttons) override {
        shown.push_back({text, caption, icon, buttons});
        if (buttons == platform::Buttons::Ok || answers.empty()) {
            return buttons == platform::Buttons::Ok ? platform::Answer::Ok
                                                    : platform::Answer::Cancel;
        }
        platform::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString input(const QString& prompt, const QString&, const QString&) override {
        asked.append(prompt);
        if (inputs.empty()) {
            return QString();
        }
        QString text = inputs.front();
        inputs.pop_front();
        return text;
    }
};

}  // namespace testsupport
