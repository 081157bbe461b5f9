// The zip binding: the open pipeline's one extraction request, with the
// overwrite question and the password prompt answered through the prompt
// seam. Error numbers are those of ziplibrary.h.
#pragma once

#include "hostpaths.h"
#include "prompt.h"
#include "ziplibrary.h"

#include <array>
#include <cstdint>

class modUnzip32 {
public:
    modUnzip32(platform::Prompt& prompt, const platform::Prefix& prefix);

    // Stores a request: archive and extraction folder as path texts, the
    // include and exclude lists (the first empty entry ends each), and the
    // option values.
    void setUnzipOptions(const QString& archive, const QString& folder, const QStringList& include,
                         const QStringList& exclude, int16_t promptToOverwrite,
                         int16_t overwriteAlways, int16_t listOnly, int16_t keepFolders);
    // Runs the stored request; a failure is shown as its number.
    void runUnzip();

    bool passwordDeclined() const { return passwordDeclined_ != 0; }
    // The library's result of the last run (the pipeline does not read it).
    int32_t lastResult() const { return lastResult_; }

private:
    // Option numbers, 1-based as in the option record.
    enum Option { kPromptToOverwrite = 3, kListOnly = 7, kDisplayComment = 9, kKeepFolders = 10,
                  kOverwriteAlways = 11 };
    int16_t& option(int number) { return options_[static_cast<size_t>(number - 1)]; }
    int replaceCallback(const QString& existingFile);
    int passwordCallback(char* buffer, int size);

    platform::Prompt& prompt_;
    const platform::Prefix& prefix_;
    QString archive_;
    QString folder_;
    QStringList include_;
    QStringList exclude_;
    std::array<int16_t, 15> options_{};
    int16_t passwordDeclined_ = 0;
    int32_t lastResult_ = 0;
};
