// The functions of a stylesheet's msxsl:script elements, as the forms'
// engine runs them: a script in "JScript" or "javascript" defines
// functions that the stylesheet calls through its implements-prefix
// namespace. They run in a QJSEngine of their own for one transformation,
// with nothing but the language itself: no files, no network, no host
// objects. Strings, numbers and booleans cross as they are; a node-set
// becomes a node list (length, item(i), nextNode(), and nodes with
// nodeName, nodeValue, text and getAttribute(name)).
#pragma once

#include "scripthost.h"

#include <libxslt/xsltInternals.h>

#include <QHash>
#include <QJSEngine>
#include <QJSValue>
#include <QString>

#include <memory>

namespace shell {

class ScriptFunctions : public ScriptHost {
public:
    ScriptFunctions();
    ~ScriptFunctions() override;
    ScriptFunctions(const ScriptFunctions&) = delete;
    ScriptFunctions& operator=(const ScriptFunctions&) = delete;

    bool load(xmlDocPtr stylesheet) override;
    void attach(xsltTransformContextPtr ctxt) override;
    void interrupt() override;
    const QString& error() const override { return error_; }

private:
    struct Namespace {
        QString language;  // as the script element gives it
        QString prefix;
        QJSValue functions;  // name -> function, for JScript
    };
    static xmlXPathFunction lookup(void* self, const xmlChar* name, const xmlChar* uri);
    static void call(xmlXPathParserContextPtr ctxt, int nargs);
    QJSValue toScript(xmlXPathObjectPtr value);
    xmlXPathObjectPtr fromScript(const QJSValue& value);
    void fail(xmlXPathParserContextPtr ctxt, const QString& message);

    // libxslt's own lookup (extension functions), asked for every name
    // that is not the scripts'.
    xmlXPathFuncLookupFunc previousLookup_ = nullptr;
    void* previousData_ = nullptr;
    std::unique_ptr<QJSEngine> engine_;
    QHash<QString, Namespace> namespaces_;  // by namespace URI
    QString error_;
};

}  // namespace shell
