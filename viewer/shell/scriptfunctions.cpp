#include "scriptfunctions.h"

#include "msxsl.h"

#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace shell {

namespace {

QString text(const xmlChar* value) {
    return QString::fromUtf8(reinterpret_cast<const char*>(value));
}

bool isJScript(const QString& language) {
    const QString name = language.trimmed().toLower();
    return name.isEmpty() || name == QLatin1String("jscript") ||
           name == QLatin1String("javascript");
}

// What a node list and its nodes offer scripts, as the forms' engine hands
// node-sets to them.
const char kNodeHelpers[] =
    "(function(){"
    "function node(o){o.getAttribute=function(n){return Object.prototype.hasOwnProperty.call("
    "o.attributes,n)?o.attributes[n]:null;};return o;}"
    "function list(a){var i=0;a.item=function(k){return k>=0&&k<a.length?a[k]:null;};"
    "a.nextNode=function(){return i<a.length?a[i++]:null;};a.reset=function(){i=0;};return a;}"
    "return {node:node,list:list};})()";

// QJSEngine needs an application object; a program that renders without
// one of its own (a test, a fuzz harness) gets a plain one.
void ensureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "paperlens";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
}

}  // namespace

ScriptFunctions::ScriptFunctions() = default;
ScriptFunctions::~ScriptFunctions() = default;

bool ScriptFunctions::load(xmlDocPtr stylesheet) {
    xmlNodePtr root = stylesheet != nullptr ? xmlDocGetRootElement(stylesheet) : nullptr;
    QHash<QString, QString> sources;  // by namespace URI
    for (xmlNodePtr child = root != nullptr ? root->children : nullptr; child != nullptr;
         child = child->next) {
        if (child->type != XML_ELEMENT_NODE || child->ns == nullptr ||
            !xmlStrEqual(child->ns->href, reinterpret_cast<const xmlChar*>(kMsxslNamespace)) ||
            !xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>("script"))) {
            continue;
        }
        xmlChar* prefix = xmlGetProp(child, reinterpret_cast<const xmlChar*>("implements-prefix"));
        xmlChar* language = xmlGetProp(child, reinterpret_cast<const xmlChar*>("language"));
        xmlChar* code = xmlNodeGetContent(child);
        xmlNsPtr ns = prefix != nullptr ? xmlSearchNs(stylesheet, child, prefix) : nullptr;
        if (ns != nullptr) {
            Namespace& entry = namespaces_[text(ns->href)];
            entry.prefix = text(prefix);
            entry.language = language != nullptr ? text(language) : QStringLiteral("JScript");
            sources[text(ns->href)] += text(code) + u'\n';
        }
        xmlFree(prefix);
        xmlFree(language);
        xmlFree(code);
    }
    for (auto it = sources.begin(); it != sources.end(); ++it) {
        Namespace& entry = namespaces_[it.key()];
        if (!isJScript(entry.language)) {
            continue;  // refused when one of its functions is called
        }
        if (!engine_) {
            ensureApplication();
            engine_ = std::make_unique<QJSEngine>();
            engine_->globalObject().setProperty(QStringLiteral("__paperlens"),
                                                engine_->evaluate(QLatin1String(kNodeHelpers)));
        }
        // Each namespace's functions in a scope of their own.
        QStringList names;
        const QRegularExpression declared(QStringLiteral("function\\s+([A-Za-z_$][\\w$]*)\\s*\\("));
        for (const auto& match : declared.globalMatch(it.value())) {
            names.append(match.captured(1));
        }
        QString exports;
        for (const QString& name : names) {
            exports += QStringLiteral("%1: typeof %1 === 'function' ? %1 : undefined,").arg(name);
        }
        entry.functions = engine_->evaluate(QStringLiteral("(function(){\n") + it.value() +
                                            QStringLiteral("\nreturn {") + exports +
                                            QStringLiteral("};})()"));
        if (entry.functions.isError()) {
            error_ = QStringLiteral("서식의 %1 스크립트를 읽을 수 없습니다: %2")
                         .arg(entry.prefix, entry.functions.toString());
            return false;
        }
    }
    return true;
}

void ScriptFunctions::attach(xsltTransformContextPtr ctxt) {
    if (!namespaces_.isEmpty() && ctxt->xpathCtxt != nullptr) {
        previousLookup_ = ctxt->xpathCtxt->funcLookupFunc;
        previousData_ = ctxt->xpathCtxt->funcLookupData;
        xmlXPathRegisterFuncLookup(ctxt->xpathCtxt, lookup, this);
    }
}

void ScriptFunctions::interrupt() {
    if (engine_) {
        engine_->setInterrupted(true);
    }
}

xmlXPathFunction ScriptFunctions::lookup(void* self, const xmlChar* name, const xmlChar* uri) {
    auto* scripts = static_cast<ScriptFunctions*>(self);
    if (uri == nullptr || name == nullptr ||
        !scripts->namespaces_.contains(text(uri))) {
        return scripts->previousLookup_ != nullptr
                   ? scripts->previousLookup_(scripts->previousData_, name, uri)
                   : nullptr;
    }
    // Every name of a script's namespace is the script's: one it does not
    // define ends the transformation with its name.
    return call;
}

void ScriptFunctions::fail(xmlXPathParserContextPtr ctxt, const QString& message) {
    if (error_.isEmpty()) {
        error_ = message;
    }
    xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
    if (tctxt != nullptr) {
        tctxt->state = XSLT_STATE_STOPPED;
    }
    valuePush(ctxt, xmlXPathNewCString(""));
}

void ScriptFunctions::call(xmlXPathParserContextPtr ctxt, int nargs) {
    auto* self = static_cast<ScriptFunctions*>(ctxt->context->funcLookupData);
    const QString uri = text(ctxt->context->functionURI);
    const QString name = text(ctxt->context->function);
    const Namespace& ns = self->namespaces_[uri];
    const QString qualified = ns.prefix + u':' + name;
    // The arguments are taken off the stack whatever happens next; they are
    // turned into script values only for a function that will run (a
    // script in another language has no engine at all).
    std::vector<xmlXPathObjectPtr> values(static_cast<size_t>(std::max(nargs, 0)));
    for (int i = nargs - 1; i >= 0; --i) {
        values[static_cast<size_t>(i)] = valuePop(ctxt);
    }
    const auto release = [&values] {
        for (xmlXPathObjectPtr value : values) {
            xmlXPathFreeObject(value);
        }
    };
    QJSValue function = isJScript(ns.language) ? ns.functions.property(name) : QJSValue();
    if (!isJScript(ns.language) || !function.isCallable()) {
        release();
        self->fail(ctxt, !isJScript(ns.language)
                             ? QStringLiteral("서식의 스크립트 함수 %1 은(는) %2(으)로 쓰여 있어 "
                                              "실행할 수 없습니다.")
                                   .arg(qualified, ns.language)
                             : QStringLiteral("서식의 스크립트에 함수 %1 이(가) 없습니다.")
                                   .arg(qualified));
        return;
    }
    QJSValueList args;
    for (xmlXPathObjectPtr value : values) {
        args.append(self->toScript(value));
    }
    release();
    const QJSValue result = function.call(args);
    if (result.isError()) {
        self->fail(ctxt, QStringLiteral("서식의 스크립트 함수 %1 에서 오류가 났습니다: %2")
                             .arg(qualified, result.toString()));
        return;
    }
    valuePush(ctxt, self->fromScript(result));
}

QJSValue ScriptFunctions::toScript(xmlXPathObjectPtr value) {
    if (value == nullptr) {
        return QJSValue();
    }
    switch (value->type) {
        case XPATH_NUMBER:
            return QJSValue(value->floatval);
        case XPATH_BOOLEAN:
            return QJSValue(value->boolval != 0);
        case XPATH_NODESET:
        case XPATH_XSLT_TREE: {
            const QJSValue helpers = engine_->globalObject().property(QStringLiteral("__paperlens"));
            const int count = value->nodesetval != nullptr ? value->nodesetval->nodeNr : 0;
            QJSValue list = engine_->newArray(static_cast<uint>(count));
            for (int i = 0; i < count; ++i) {
                xmlNodePtr node = value->nodesetval->nodeTab[i];
                QJSValue object = engine_->newObject();
                xmlChar* content = xmlXPathCastNodeToString(node);
                object.setProperty(QStringLiteral("text"), text(content));
                xmlFree(content);
                object.setProperty(QStringLiteral("nodeName"),
                                   node->name != nullptr && node->type != XML_TEXT_NODE
                                       ? text(node->name)
                                       : QStringLiteral("#text"));
                object.setProperty(QStringLiteral("nodeValue"),
                                   node->type == XML_ELEMENT_NODE || node->content == nullptr
                                       ? QJSValue(QJSValue::NullValue)
                                       : QJSValue(text(node->content)));
                QJSValue attributes = engine_->newObject();
                for (xmlAttrPtr a = node->type == XML_ELEMENT_NODE ? node->properties : nullptr;
                     a != nullptr; a = a->next) {
                    xmlChar* attribute = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
                    attributes.setProperty(text(a->name), text(attribute));
                    xmlFree(attribute);
                }
                object.setProperty(QStringLiteral("attributes"), attributes);
                list.setProperty(static_cast<quint32>(i),
                                 helpers.property(QStringLiteral("node")).call({object}));
            }
            return helpers.property(QStringLiteral("list")).call({list});
        }
        default: {
            xmlChar* string = xmlXPathCastToString(value);
            const QString result = text(string);
            xmlFree(string);
            return QJSValue(result);
        }
    }
}

xmlXPathObjectPtr ScriptFunctions::fromScript(const QJSValue& value) {
    if (value.isNumber()) {
        return xmlXPathNewFloat(value.toNumber());
    }
    if (value.isBool()) {
        return xmlXPathNewBoolean(value.toBool() ? 1 : 0);
    }
    if (value.isUndefined() || value.isNull()) {
        return xmlXPathNewCString("");
    }
    return xmlXPathNewString(reinterpret_cast<const xmlChar*>(value.toString().toUtf8().constData()));
}

}  // namespace shell

extern "C" __attribute__((visibility("default"))) shell::ScriptHost* paperlensNewScriptHost() {
    return new shell::ScriptFunctions();
}
