// The open-file dialog seam.
#pragma once

#include <QString>

namespace platform {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Shows the open-file dialog; the chosen file's full path, or the empty
    // text when the user cancels. The filter is "caption|pattern|..." pairs.
    virtual QString chooseFile(const QString& title, const QString& filter) = 0;
};

}  // namespace platform
