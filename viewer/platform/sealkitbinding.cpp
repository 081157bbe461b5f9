#include "sealkitbinding.h"

#include "resources.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace platform {

QString SealkitBinding::defaultLibrary() {
    const QString configured = qEnvironmentVariable("PAPERLENS_SEALKIT");
    if (!configured.isEmpty()) {
        return configured;
    }
    return privateLibrary(QStringLiteral("libSealkit.so"));
}

SealkitBinding::SealkitBinding(Prompt& prompt, QString library)
    : prompt_(prompt), library_(std::move(library)) {}

SealkitBinding::~SealkitBinding() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
    }
}

void SealkitBinding::reportOnce(const QString& key, const QString& text, Report report) {
    if (report == Report::Once && reported_.contains(key)) {
        return;
    }
    reported_.insert(key);
    prompt_.message(text, kProgramTitle, Icon::Warning, Buttons::Ok);
}

void* SealkitBinding::symbol(const char* name, Report report) {
    if (handle_ == nullptr) {
        handle_ = ::dlopen(QFile::encodeName(library_).constData(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* reason = ::dlerror();
            reportOnce(QString(),
                       QStringLiteral("Sealkit 라이브러리를 불러올 수 없습니다.\n%1\n%2")
                           .arg(library_, QString::fromLocal8Bit(reason ? reason : "")),
                       report);
            return nullptr;
        }
    }
    void* found = ::dlsym(handle_, name);
    if (found == nullptr) {
        reportOnce(QString::fromLatin1(name),
                   QStringLiteral("Sealkit 라이브러리에 %1 함수가 없습니다.\n%2")
                       .arg(QString::fromLatin1(name), library_),
                   report);
    }
    return found;
}

}  // namespace platform
