#include "formrender.h"

#include "msxsl.h"
#include "privatefiles.h"
#include "renderlimits.h"
#include "scripthost.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <limits>
#include <memory>
#include <mutex>

namespace shell {

namespace {

const QString kNoXml = QStringLiteral("서식 데이터(XML) 파일을 찾을 수 없습니다.");
const QString kNoXsl = QStringLiteral("서식 양식(XSL) 파일을 찾을 수 없습니다.");
const QString kBadXml = QStringLiteral("서식 데이터(XML) 파일을 읽을 수 없습니다: ");
const QString kBadXsl = QStringLiteral("서식 양식(XSL) 파일을 읽을 수 없습니다: ");
const QString kTransformFailed = QStringLiteral("서식을 화면으로 변환하지 못했습니다.");
const QString kPageUnwritable = QStringLiteral("화면 파일을 쓸 수 없습니다: ");

// Form data and stylesheet are parsed as an XSLT processor must see them:
// internal entities expanded and DTD default attributes applied. External
// entities and DTDs go through the guarded loader below; the network is
// never reached, and libxml2's limits on entity expansion stay on.
constexpr int kParseOptions =
    XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET | XML_PARSE_NOCDATA;

// The folder whose files a transformation may read; empty outside one.
QString allowedFolder;
xmlExternalEntityLoader defaultLoader = nullptr;

// The local file a URI that libxml2 or libxslt hands over names: a
// "file:" URL or a path, either of them percent-escaped where the folder's
// name has blanks or Hangul; empty for anything else.
QString localFile(const char* uri) {
    if (uri == nullptr) {
        return QString();
    }
    const QString text = QString::fromUtf8(uri);
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        return QUrl(text).toLocalFile();
    }
    if (text.contains(QLatin1String("://"))) {
        return QString();
    }
    if (QFileInfo::exists(text)) {
        return text;
    }
    char* unescaped = xmlURIUnescapeString(uri, 0, nullptr);
    const QString path = QString::fromUtf8(unescaped != nullptr ? unescaped : uri);
    xmlFree(unescaped);
    return path;
}

// The canonical path of the file `uri` names when it lies inside the
// allowed folder; empty otherwise.
QString allowedFile(const char* uri) {
    if (allowedFolder.isEmpty()) {
        return QString();
    }
    const QString canonical = QFileInfo(localFile(uri)).canonicalFilePath();
    return canonical.startsWith(allowedFolder + u'/') ? canonical : QString();
}

xmlParserInputPtr guardedLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
    const QString file = allowedFile(url);
    if (file.isEmpty()) {
        return nullptr;
    }
    return defaultLoader(QFile::encodeName(file).constData(), id, ctxt);
}

int readFileCheck(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char* value) {
    return allowedFile(value).isEmpty() ? 0 : 1;
}

xsltSecurityPrefsPtr securityPrefs() {
    static xsltSecurityPrefsPtr prefs = [] {
        xsltSecurityPrefsPtr p = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_FILE, readFileCheck);
        xsltSetDefaultSecurityPrefs(p);
        return p;
    }();
    return prefs;
}

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        installRenderHooks();
        xmlInitParser();
        // Forms declare these names; libxml2 decodes "euc-kr" strictly and
        // knows "ks_c_5601-1987" only through ICU, while the files carry
        // CP949 syllables.
        xmlAddEncodingAlias("CP949", "EUC-KR");
        xmlAddEncodingAlias("CP949", "KS_C_5601-1987");
        defaultLoader = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(guardedLoader);
        registerMsxslFunctions();
        (void)securityPrefs();
    });
}

struct DocFree {
    void operator()(xmlDoc* d) const noexcept { xmlFreeDoc(d); }
};
struct StyleFree {
    void operator()(xsltStylesheet* s) const noexcept { xsltFreeStylesheet(s); }
};
struct ContextFree {
    void operator()(xsltTransformContext* c) const noexcept { xsltFreeTransformContext(c); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using StylePtr = std::unique_ptr<xsltStylesheet, StyleFree>;
using ContextPtr = std::unique_ptr<xsltTransformContext, ContextFree>;

// Sets the allowed folder for the span of one transformation.
struct AllowedFolder {
    explicit AllowedFolder(const QString& folder) {
        allowedFolder = QFileInfo(folder).canonicalFilePath();
    }
    ~AllowedFolder() { allowedFolder.clear(); }
};

QString lastPiece(const QString& name) { return name.split(u'.').last(); }

bool whitespaceOnly(const xmlChar* text) {
    for (const xmlChar* p = text; p != nullptr && *p != 0; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') {
            return false;
        }
    }
    return true;
}

// The form data as the forms' own engine loads it: text nodes of nothing
// but whitespace are dropped, except where xml:space="preserve" is in
// scope, so that position(), count(node()) and the built-in templates
// give what the stylesheet's authors saw.
void dropWhitespaceNodes(xmlNodePtr root) {
    // A walk along the tree's own links: no stack, and xml:space is only
    // looked up for the rare blank text that is left.
    xmlNodePtr node = root->children;
    while (node != nullptr) {
        xmlNodePtr next = nullptr;
        if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
            next = node->children;
        } else {
            for (xmlNodePtr up = node; up != nullptr && up != root; up = up->parent) {
                if (up->next != nullptr) {
                    next = up->next;
                    break;
                }
            }
        }
        if (node->type == XML_TEXT_NODE && whitespaceOnly(node->content) &&
            xmlNodeGetSpacePreserve(node->parent) != 1) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
        }
        node = next;
    }
}

// A file parsed from memory, its path kept as the document's URL (for
// includes, entities and document()): xmlReadFile reads through zlib's
// layer, looking for a compressed file, which costs more than the reading.
xmlDocPtr readDocument(const QString& hostPath, int options) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > std::numeric_limits<int>::max()) {
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    return xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()),
                         QFile::encodeName(hostPath).constData(), nullptr, options);
}

// The page file being written: its descriptor, and whether a write failed.
struct PageOutput {
    int fd = -1;
    bool failed = false;
};

int writeBytes(void* context, const char* bytes, int length) {
    auto* page = static_cast<PageOutput*>(context);
    if (!platform::writeFully(page->fd, bytes, static_cast<size_t>(length))) {
        page->failed = true;
        return -1;
    }
    return length;
}

enum class PageWrite { Written, NotSerialised, Unwritable };

// The page as the web view reads it: FF FE, then the result serialised
// straight into UTF-16LE by libxml2's own encoder and on into the page's
// private file. The page lives in the process's own folder for the
// process's life: it is not synced.
PageWrite writePage(const QString& hostPath, xmlDocPtr result, xsltStylesheetPtr style) {
    xmlCharEncodingHandlerPtr utf16 = xmlFindCharEncodingHandler("UTF-16LE");
    if (utf16 == nullptr) {
        return PageWrite::NotSerialised;
    }
    PageOutput page;
    bool saved = false;
    const bool written = platform::writePrivateFile(hostPath, [&](int fd) {
        page.fd = fd;  // stays -1 when no file could be made
        xmlOutputBufferPtr out = writeBytes(&page, "\xFF\xFE", 2) == 2
                                     ? xmlOutputBufferCreateIO(writeBytes, nullptr, &page, utf16)
                                     : nullptr;
        saved = out != nullptr && xsltSaveResultTo(out, result, style) >= 0;
        saved = (out == nullptr || xmlOutputBufferClose(out) >= 0) && saved;
        return saved && !page.failed;
    });
    if (written) {
        return PageWrite::Written;
    }
    return page.fd < 0 || saved || page.failed ? PageWrite::Unwritable : PageWrite::NotSerialised;
}

}  // namespace

void findFormMembers(const QString& folder, AppState& state, const platform::Prefix& prefix) {
    QString text = folder;
    if (!text.endsWith(u'\\')) {
        text += u'\\';
    }
    const QStringList names = platform::listDirectory(prefix.hostPath(text), true, true, true);
    for (const QString& name : names) {
        const QString extension = lastPiece(name);
        if (extension == QLatin1String("xml")) {
            state.XmlFileName = name;
        } else if (extension == QLatin1String("xsl")) {
            state.XslFileName = name;
        }
    }
}

RenderResult transformForm(const AppState& state, const QString& pagePath,
                           const platform::Prefix& prefix) {
    initialise();
    const QString xmlPath = prefix.hostPath(state.DataFolder + state.XmlFileName);
    const QString xslPath = prefix.hostPath(state.DataFolder + state.XslFileName);
    if (state.XmlFileName.isEmpty() || !QFileInfo(xmlPath).isFile()) {
        return {false, kNoXml};
    }
    if (state.XslFileName.isEmpty() || !QFileInfo(xslPath).isFile()) {
        return {false, kNoXsl};
    }
    AllowedFolder allowed(prefix.hostPath(state.DataFolder));
    RenderLimits limits;
    const auto failed = [&limits](const QString& message) -> RenderResult {
        const QString reason = limits.exceeded();
        return {false, reason.isEmpty() ? message : reason};
    };

    DocPtr styleDoc(readDocument(xslPath, kParseOptions));
    QString scriptError;
    const std::unique_ptr<ScriptHost> scripts =
        styleDoc ? loadScripts(styleDoc.get(), scriptError) : nullptr;
    if (!scriptError.isEmpty()) {
        return failed(scriptError);
    }
    StylePtr style(styleDoc ? xsltParseStylesheetDoc(styleDoc.get()) : nullptr);
    if (!style) {
        return failed(kBadXsl + state.XslFileName);
    }
    styleDoc.release();  // owned by the stylesheet now
    // The parser drops most whitespace-only text itself, never making the
    // nodes; what its rules keep (the only text of an element) goes after.
    DocPtr doc(readDocument(xmlPath, kParseOptions | XML_PARSE_NOBLANKS));
    if (!doc) {
        return failed(kBadXml + state.XmlFileName);
    }
    dropWhitespaceNodes(reinterpret_cast<xmlNodePtr>(doc.get()));
    ContextPtr ctxt(xsltNewTransformContext(style.get(), doc.get()));
    if (!ctxt || xsltSetCtxtSecurityPrefs(securityPrefs(), ctxt.get()) != 0) {
        return failed(kTransformFailed);
    }
    xsltSetCtxtParseOptions(ctxt.get(), kParseOptions);
    if (scripts) {
        scripts->attach(ctxt.get());
    }
    limits.watch(ctxt.get(), [&scripts] {
        if (scripts) {
            scripts->interrupt();
        }
    });
    DocPtr result(xsltApplyStylesheetUser(style.get(), doc.get(), nullptr, nullptr, nullptr,
                                          ctxt.get()));
    limits.stopWatching();
    if (!limits.exceeded().isEmpty()) {
        return failed(kTransformFailed);
    }
    if (scripts && !scripts->error().isEmpty()) {
        return {false, scripts->error()};
    }
    if (!result || ctxt->state != XSLT_STATE_OK) {
        return failed(kTransformFailed);
    }
    // A transformation that yields nothing (or only a document type) has
    // no page to show.
    const xmlNodePtr first = result->children;
    if (first == nullptr || (first->type == XML_DTD_NODE && first->next == nullptr)) {
        return failed(kTransformFailed);
    }
    // The form data and the transformation's state are not needed to
    // serialise the result: they go first, which lowers the peak of a large
    // form by the size of its tree.
    ctxt.reset();
    doc.reset();
    // The stylesheet's own encoding gives way to Unicode: the result is
    // serialised as UTF-8 would be, and encoded into UTF-16LE as it is.
    xmlFree(style->encoding);
    style->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
    switch (writePage(prefix.hostPath(pagePath), result.get(), style.get())) {
        case PageWrite::Written:
            break;
        case PageWrite::NotSerialised:
            return failed(kTransformFailed);
        case PageWrite::Unwritable:
            return {false, kPageUnwritable + pagePath};
    }
    return {true, QString()};
}

}  // namespace shell
