#include "scripthost.h"

#include "msxsl.h"
#include "resources.h"

#include <QFile>

#include <dlfcn.h>

#include <mutex>

namespace shell {

namespace {

bool hasScripts(xmlDocPtr stylesheet) {
    const xmlNodePtr root = stylesheet != nullptr ? xmlDocGetRootElement(stylesheet) : nullptr;
    for (xmlNodePtr child = root != nullptr ? root->children : nullptr; child != nullptr;
         child = child->next) {
        if (child->type == XML_ELEMENT_NODE && child->ns != nullptr &&
            xmlStrEqual(child->ns->href, reinterpret_cast<const xmlChar*>(kMsxslNamespace)) &&
            xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>("script"))) {
            return true;
        }
    }
    return false;
}

using NewScriptHost = ScriptHost* (*)();

// Loaded once and kept for the process's life: beside the program in the
// build tree, through the program's RUNPATH when installed.
NewScriptHost moduleEntry(QString& failure) {
    static std::once_flag once;
    static NewScriptHost entry = nullptr;
    static QString why;
    std::call_once(once, [] {
        const QString name = platform::privateLibrary(QStringLiteral("libpaperlens-scripts.so"));
        void* module = ::dlopen(QFile::encodeName(name).constData(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            why = QString::fromLocal8Bit(::dlerror());
            return;
        }
        entry = reinterpret_cast<NewScriptHost>(::dlsym(module, "paperlensNewScriptHost"));
        if (entry == nullptr) {
            why = QString::fromLocal8Bit(::dlerror());
        }
    });
    failure = why;
    return entry;
}

}  // namespace

std::unique_ptr<ScriptHost> loadScripts(xmlDocPtr stylesheet, QString& error) {
    if (!hasScripts(stylesheet)) {
        return nullptr;
    }
    QString failure;
    const NewScriptHost entry = moduleEntry(failure);
    std::unique_ptr<ScriptHost> host(entry != nullptr ? entry() : nullptr);
    if (!host) {
        error = QStringLiteral("서식의 스크립트를 실행할 수 없습니다: %1").arg(failure);
        return nullptr;
    }
    if (!host->load(stylesheet)) {
        error = host->error();
        return nullptr;
    }
    return host;
}

}  // namespace shell
