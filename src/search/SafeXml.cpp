#include "search/SafeXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <mutex>

namespace safexml {

namespace {

struct ParseState {
    bool entities = false;
};

// Any entity declaration, general or parameter, internal or external, stops
// the parser at once: such a document is refused.
void OnEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    auto* context = static_cast<xmlParserCtxtPtr>(ctx);
    static_cast<ParseState*>(context->_private)->entities = true;
    xmlStopParser(context);
}

void OnUnparsedEntityDecl(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*)
{
    OnEntityDecl(ctx, nullptr, 0, nullptr, nullptr, nullptr);
}

// An entity reference that was never declared (or a predefined one libxml2
// asks about) is not looked up anywhere else.
xmlEntityPtr OnGetEntity(void*, const xmlChar* name)
{
    return xmlGetPredefinedEntity(name);
}

void Silent(void*, const char*, ...) {}

// Some of libxml2's complaints (a byte sequence its encoder cannot convert)
// bypass the parser's own handlers and go to the thread's generic handler,
// which prints them: a hostile document would fill the terminal. Silent for
// one parse on this thread.
class QuietThread {
public:
    QuietThread() : m_handler(xmlGenericError), m_context(xmlGenericErrorContext)
    {
        xmlSetGenericErrorFunc(nullptr, Silent);
    }
    ~QuietThread() { xmlSetGenericErrorFunc(m_context, m_handler); }
    QuietThread(const QuietThread&) = delete;
    QuietThread& operator=(const QuietThread&) = delete;

private:
    xmlGenericErrorFunc m_handler;
    void* m_context;
};

// Where `end` is found in `bytes` from `from`, past it; the end of the bytes
// when it is not there.
std::size_t After(std::string_view bytes, std::size_t from, std::string_view end)
{
    const std::size_t at = bytes.find(end, from);
    return at == std::string_view::npos ? bytes.size() : at + end.size();
}

std::string_view SkipLeadingBlanks(std::string_view bytes)
{
    for (;;) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        else if (!bytes.empty() && (bytes.front() == ' ' || bytes.front() == '\t' || bytes.front() == '\r' ||
                                    bytes.front() == '\n'))
            bytes.remove_prefix(1);
        else
            return bytes;
    }
}

void InitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace

bool HasTooManyAttributes(std::string_view bytes, std::size_t perElement, std::uint64_t work)
{
    std::uint64_t total = 0;
    std::size_t i = 0;
    while ((i = bytes.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = bytes.substr(i);
        if (rest.substr(0, 4) == "<!--") {
            i = After(bytes, i + 4, "-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            i = After(bytes, i + 9, "]]>");
        } else if (rest.substr(0, 2) == "<?") {
            i = After(bytes, i + 2, "?>");
        } else if (rest.substr(0, 2) == "<!" || rest.substr(0, 2) == "</") {
            i = After(bytes, i + 2, ">");
        } else {
            // A start tag: each quoted value is one attribute; a '>' inside
            // quotes does not end the tag.
            std::size_t values = 0;
            char quote = 0;
            for (++i; i < bytes.size(); ++i) {
                const char c = bytes[i];
                if (quote != 0) {
                    if (c == quote) {
                        quote = 0;
                        if (++values > perElement)
                            return true;
                    }
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>' || c == '<') {
                    break;
                }
            }
            total += std::uint64_t{values} * values;
            if (total > work)
                return true;
        }
    }
    return false;
}

void DocFree::operator()(_xmlDoc* doc) const
{
    xmlFreeDoc(doc);
}

DocPtr Parse(std::string_view bytes, std::size_t maxBytes, Status& status)
{
    InitOnce();
    if (bytes.size() > maxBytes) {
        status = Status::TooLarge;
        return nullptr;
    }
    bytes = SkipLeadingBlanks(bytes);
    if (HasTooManyAttributes(bytes, kMaxAttributes, kMaxAttributeWork)) {
        status = Status::TooManyAttributes;
        return nullptr;
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
        status = Status::NotXml;
        return nullptr;
    }
    xmlSAXHandler sax{};
    xmlSAXVersion(&sax, 2);
    sax.entityDecl = OnEntityDecl;
    sax.unparsedEntityDecl = OnUnparsedEntityDecl;
    sax.getEntity = OnGetEntity;
    sax.getParameterEntity = OnGetEntity;
    sax.error = Silent;
    sax.warning = Silent;
    sax.serror = nullptr;
    sax.externalSubset = nullptr;  // never even look at an external DTD
    sax.resolveEntity = nullptr;

    ParseState state;
    const QuietThread quiet;
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr || context->sax == nullptr) {
        if (context != nullptr)
            xmlFreeParserCtxt(context);
        status = Status::NotXml;
        return nullptr;
    }
    *context->sax = sax;
    context->_private = &state;
    // No XML_PARSE_NOENT and no XML_PARSE_DTDLOAD: entities stay unexpanded
    // and no DTD is loaded; NONET refuses any fetch that slipped through.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDocPtr doc = xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                      options);
    const bool wellFormed = context->wellFormed != 0;
    xmlFreeParserCtxt(context);
    DocPtr result(doc);
    if (state.entities) {
        status = Status::DeclaresEntities;
        return nullptr;
    }
    if (!result || !wellFormed || xmlDocGetRootElement(result.get()) == nullptr) {
        status = Status::NotXml;
        return nullptr;
    }
    status = Status::Ok;
    return result;
}

std::string_view LocalName(const _xmlNode* node)
{
    if (node == nullptr || node->type != XML_ELEMENT_NODE || node->name == nullptr)
        return {};
    return reinterpret_cast<const char*>(node->name);
}

bool Attribute(const _xmlNode* node, const char* name, std::string& value)
{
    for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
        if (attr->ns != nullptr || attr->name == nullptr ||
            std::string_view(reinterpret_cast<const char*>(attr->name)) != name)
            continue;
        xmlChar* text = xmlNodeListGetString(node->doc, attr->children, 1);
        value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
        xmlFree(text);
        return true;
    }
    return false;
}

std::string Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string Text(const _xmlNode* node)
{
    xmlChar* text = xmlNodeGetContent(node);
    std::string out = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return Trim(out);
}

}  // namespace safexml
