// The Sealkit library as the viewer reaches it: loaded with dlopen the
// first time a function is needed, each function bound by its exported
// name. A library or function that is missing is reported in a message box.
#pragma once

#include "prompt.h"

#include <QSet>
#include <QString>

#include <cstdint>

namespace platform {

class SealkitBinding {
public:
    using DecryptFile = int32_t (*)(const char*, const char*, const char*, const char*);
    using GetCertInfo2 = int32_t (*)(char*, char*, const char*, int32_t);
    using VerifySigFile = int32_t (*)(const char*, const char*, const char*, const char*,
                                      const char*, const char*);
    using MakeEncFile = int32_t (*)(const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*);
    using MakeSigFile = int32_t (*)(const char*, const char*, const char*, const char*,
                                    const char*);
    using SaveSmartCard = uint32_t (*)(const char*, const char*);
    using GetSignerInfo = int32_t (*)(const char*, const char*, const char*, char*, int32_t);

    // How often a missing library or function is reported: once for the
    // binding's life (a scan asks for every certificate), or at each ask
    // (an action the user repeats).
    enum class Report { Once, Always };

    // $PAPERLENS_SEALKIT when set, else the program's libSealkit.so (beside
    // it in the build tree, in lib/paperlens when installed).
    static QString defaultLibrary();

    SealkitBinding(Prompt& prompt, QString library = defaultLibrary());
    ~SealkitBinding();
    SealkitBinding(const SealkitBinding&) = delete;
    SealkitBinding& operator=(const SealkitBinding&) = delete;

    // The function of that name, or null after the failure was reported.
    template <typename F>
    F function(const char* name, Report report) {
        return reinterpret_cast<F>(symbol(name, report));
    }

    const QString& library() const { return library_; }

private:
    void* symbol(const char* name, Report report);
    void reportOnce(const QString& key, const QString& text, Report report);

    Prompt& prompt_;
    QString library_;
    void* handle_ = nullptr;
    QSet<QString> reported_;
};

}  // namespace platform
