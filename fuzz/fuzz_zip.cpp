// Our zip library on any archive: extraction into a scratch folder.
#include "fuzzsupport.h"
#include "ziplibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Scratch scratch;
    const QString archive = scratch.write("form.kvx", data, size);
    unzip::OptionRecord options;
    options.promptToOverwrite = 1;
    options.keepFolders = 1;
    options.archive = archive;
    options.folder = scratch.path() + QStringLiteral("/data");
    unzip::CallbackRecord callbacks;
    callbacks.replace = [](const QString&) { return unzip::kReplaceYes; };
    callbacks.password = [](char* buffer, int, const QString&, const QString&) {
        buffer[0] = 'p';
        buffer[1] = 0;
        return unzip::kPasswordSupplied;
    };
    (void)unzip::singleEntryUnzip({}, {}, options, callbacks);
    return 0;
}
