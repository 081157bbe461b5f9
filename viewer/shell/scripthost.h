// The functions of a stylesheet's msxsl:script elements, as seen from the
// rendering. Running them needs a JavaScript engine, which is large to
// load: it lives in a module of its own (libpaperlens-scripts.so) that is
// loaded only for a stylesheet that has scripts.
#pragma once

#include <libxslt/xsltInternals.h>

#include <QString>

#include <memory>

namespace shell {

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Reads the scripts of a stylesheet document. False, with error()
    // set, when a script does not compile.
    virtual bool load(xmlDocPtr stylesheet) = 0;
    // Makes the functions callable in the transformation.
    virtual void attach(xsltTransformContextPtr ctxt) = 0;
    // Stops a script that runs away; callable from any thread.
    virtual void interrupt() = 0;
    // Why the transformation had to stop: a script that threw, or one in a
    // language the program does not run, named by its function.
    virtual const QString& error() const = 0;
};

// The script engine for a stylesheet document that has msxsl:script
// elements, with its scripts read; null for one that has none. When the
// scripts cannot run (the module is missing, a script does not compile),
// returns null and sets `error`.
std::unique_ptr<ScriptHost> loadScripts(xmlDocPtr stylesheet, QString& error);

}  // namespace shell

// The module's one entry point.
extern "C" shell::ScriptHost* paperlensNewScriptHost();
