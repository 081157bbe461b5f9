// The message-box and input-box seam: logic asks through it, the Qt front
// shows real boxes, tests answer from a script.
#pragma once

#include <QString>

namespace platform {

// The caption of every box that names none of its own.
inline const QString kProgramTitle = QStringLiteral("Paperlens");

enum class Icon { None, Information, Warning };
enum class Buttons { Ok, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

class Prompt {
public:
    virtual ~Prompt() = default;
    // Shows a modal message box; closing it counts as Cancel (Ok for an
    // OK-only box).
    virtual Answer message(const QString& text, const QString& caption, Icon icon,
                           Buttons buttons) = 0;
    // Shows a modal input box; a cancelled box gives the empty text.
    virtual QString input(const QString& prompt, const QString& caption,
                          const QString& initial) = 0;
};

}  // namespace platform
