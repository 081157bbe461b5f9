// Password boxes as the program's dialogs have them: input masked with "*".
#pragma once

class QLineEdit;

namespace platform {

// Masks the box's input, each character shown as "*" whatever the style's
// own masking character.
void maskWithAsterisks(QLineEdit* box);

}  // namespace platform
