#include "msxsl.h"

#include <libxml/tree.h>
#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>

namespace shell {

namespace {

// node-set(x): a result tree fragment becomes the node-set of its root; a
// node-set stays as it is; any other value becomes a text node, as a tree
// holding just that text would.
void nodeSet(xmlXPathParserContextPtr ctxt, int nargs) {
    if (nargs != 1) {
        xmlXPathSetArityError(ctxt);
        return;
    }
    if (ctxt->value != nullptr &&
        (ctxt->value->type == XPATH_XSLT_TREE || ctxt->value->type == XPATH_NODESET)) {
        xsltFunctionNodeSet(ctxt, nargs);
        return;
    }
    xsltTransformContextPtr tctxt = xsltXPathGetTransformContext(ctxt);
    xmlDocPtr fragment = tctxt != nullptr ? xsltCreateRVT(tctxt) : nullptr;
    if (fragment == nullptr) {
        xmlXPathSetError(ctxt, XPATH_MEMORY_ERROR);
        return;
    }
    xsltRegisterLocalRVT(tctxt, fragment);
    xmlChar* text = xmlXPathPopString(ctxt);
    xmlNodePtr node = xmlNewDocText(fragment, text);
    xmlFree(text);
    if (node == nullptr) {
        xmlXPathSetError(ctxt, XPATH_MEMORY_ERROR);
        return;
    }
    xmlAddChild(reinterpret_cast<xmlNodePtr>(fragment), node);
    valuePush(ctxt, xmlXPathNewNodeSet(reinterpret_cast<xmlNodePtr>(fragment)));
}

}  // namespace

void registerMsxslFunctions() {
    xsltRegisterExtModuleFunction(reinterpret_cast<const xmlChar*>("node-set"),
                                  reinterpret_cast<const xmlChar*>(kMsxslNamespace), nodeSet);
}

}  // namespace shell
