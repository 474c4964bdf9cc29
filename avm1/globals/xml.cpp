// XMLNode and XML: trees of elements and text that scripts build, parse and print. Each node
// is a script object whose tree links are kept natively (Object::xml); the node's properties
// (firstChild, childNodes, nodeName ...) are getters on XMLNode.prototype, as the reference
// players have them, so for-in and hasOwnProperty do not see them.
#include <cstdlib>

#include "avm1/globals/globals.h"
#include "base/utf8.h"

namespace avm1 {

namespace {

// The parser's status codes, as XML.status reports them.
namespace status {
constexpr int kOk = 0, kCdataOpen = -2, kDeclarationOpen = -3, kDoctypeOpen = -4, kCommentOpen = -5,
              kMalformedElement = -6, kAttributeOpen = -8, kStartWithoutEnd = -9, kEndWithoutStart = -10;
}

// How deep a document may nest; deeper elements are refused as malformed.
constexpr size_t kMaxXmlDepth = 1024;

XmlNode* NodeOf(Machine& m, const Value& v) {
    Object* o = SelfObject(m, v);
    return o != nullptr && o->xml ? &*o->xml : nullptr;
}

XmlNode* NodeOf(Machine& m, ObjectHandle h) {
    Object* o = m.heap().get(h);
    return o != nullptr && o->xml ? &*o->xml : nullptr;
}

Value NodeValue(ObjectHandle h) { return h ? Value::Object(h) : Value::Null(); }

// The prototype of nodes that parsing and the create methods make: XMLNode.prototype as the
// script has it now.
ObjectHandle NodePrototype(Machine& m) {
    const Value ctor = m.getMember(Value::Object(m.builtins().global), "XMLNode");
    const Value proto = ctor.type() == Type::kObject ? m.getMember(ctor, "prototype") : Value();
    return proto.type() == Type::kObject ? proto.object() : m.builtins().xmlNode;
}

// A new node with its attributes object and its childNodes array.
ObjectHandle MakeNode(Machine& m, ObjectHandle proto, int type, std::optional<std::string> name,
                      std::optional<std::string> value) {
    const ObjectHandle h = m.newObject(proto);
    const ObjectHandle attributes = m.newObject();
    const ObjectHandle children = m.newArray();
    Object* o = m.heap().get(h);
    if (o == nullptr) return {};
    XmlNode node;
    node.type = type;
    node.name = std::move(name);
    node.value = std::move(value);
    node.attributes = attributes;
    node.childArray = children;
    o->xml = std::move(node);
    return h;
}

// Brings the childNodes array in step with the tree.
void SyncChildren(Machine& m, ObjectHandle h) {
    XmlNode* n = NodeOf(m, h);
    if (n == nullptr) return;
    std::vector<Value> elements;
    elements.reserve(n->children.size());
    for (ObjectHandle c : n->children) elements.push_back(Value::Object(c));
    if (Object* array = m.heap().get(n->childArray); array != nullptr && array->elements) {
        array->elements = std::move(elements);
    }
}

void Detach(Machine& m, ObjectHandle child) {
    XmlNode* c = NodeOf(m, child);
    if (c == nullptr || !c->parent) return;
    const ObjectHandle parent = c->parent;
    c->parent = {};
    if (XmlNode* p = NodeOf(m, parent)) {
        for (auto it = p->children.begin(); it != p->children.end(); ++it) {
            if (*it == child) {
                p->children.erase(it);
                break;
            }
        }
        SyncChildren(m, parent);
    }
}

// Whether `node` is `of` or one of its ancestors.
bool IsAncestor(Machine& m, ObjectHandle node, ObjectHandle of) {
    for (size_t depth = 0; of && depth < kMaxXmlDepth * 4; ++depth) {
        if (of == node) return true;
        const XmlNode* n = NodeOf(m, of);
        if (n == nullptr) return false;
        of = n->parent;
    }
    return false;
}

// Puts `child` into `parent` at `index`, out of wherever it was.
bool Insert(Machine& m, ObjectHandle parent, ObjectHandle child, size_t index) {
    if (NodeOf(m, parent) == nullptr || NodeOf(m, child) == nullptr || IsAncestor(m, child, parent)) return false;
    Detach(m, child);
    XmlNode* p = NodeOf(m, parent);
    index = std::min(index, p->children.size());
    p->children.insert(p->children.begin() + static_cast<std::ptrdiff_t>(index), child);
    NodeOf(m, child)->parent = parent;
    SyncChildren(m, parent);
    return true;
}

// --- text ---

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

// The five named entities and character references become their characters; anything else
// after an ampersand stays as written.
std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            out += s[i++];
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i++];
            continue;
        }
        const std::string_view entity = s.substr(i + 1, semi - i - 1);
        std::string replacement;
        if (entity == "lt") replacement = "<";
        else if (entity == "gt") replacement = ">";
        else if (entity == "amp") replacement = "&";
        else if (entity == "quot") replacement = "\"";
        else if (entity == "apos") replacement = "'";
        else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string digits(entity.substr(hex ? 2 : 1));
            char* end = nullptr;
            const unsigned long code = digits.empty() ? 0 : std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            if (!digits.empty() && *end == '\0' && code > 0 && code <= 0x10FFFF) base::AppendUtf8(replacement, static_cast<uint32_t>(code));
        }
        if (replacement.empty()) {
            out += s[i++];
            continue;
        }
        out += replacement;
        i = semi + 1;
    }
    return out;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool AllBlank(std::string_view s) {
    for (char c : s) {
        if (!Blank(c)) return false;
    }
    return true;
}

// --- parsing ---

class Parser {
public:
    Parser(Machine& m, ObjectHandle document, bool ignoreWhite) : m_(m), ignoreWhite_(ignoreWhite) { open_.push_back(document); }

    int parse(std::string_view s) {
        size_t i = 0;
        while (i < s.size()) {
            if (s[i] != '<') {
                size_t end = s.find('<', i);
                if (end == std::string_view::npos) end = s.size();
                text(Unescape(s.substr(i, end - i)));
                i = end;
                continue;
            }
            if (s.compare(i, 4, "<!--") == 0) {
                const size_t end = s.find("-->", i + 4);
                if (end == std::string_view::npos) return status::kCommentOpen;
                i = end + 3;
            } else if (s.compare(i, 9, "<![CDATA[") == 0) {
                const size_t end = s.find("]]>", i + 9);
                if (end == std::string_view::npos) return status::kCdataOpen;
                append(MakeNode(m_, NodePrototype(m_), XmlNode::kText, std::nullopt, std::string(s.substr(i + 9, end - i - 9))));
                i = end + 3;
            } else if (s.compare(i, 2, "<?") == 0) {
                const size_t end = s.find("?>", i + 2);
                if (end == std::string_view::npos) return status::kDeclarationOpen;
                declaration += s.substr(i, end + 2 - i);
                i = end + 2;
            } else if (s.compare(i, 2, "<!") == 0) {
                const size_t end = s.find('>', i + 2);
                if (end == std::string_view::npos) return status::kDoctypeOpen;
                doctype += s.substr(i, end + 1 - i);
                i = end + 1;
            } else if (s.compare(i, 2, "</") == 0) {
                const size_t end = s.find('>', i + 2);
                if (end == std::string_view::npos) return status::kMalformedElement;
                std::string_view name = s.substr(i + 2, end - i - 2);
                while (!name.empty() && Blank(name.back())) name.remove_suffix(1);
                const XmlNode* current = NodeOf(m_, open_.back());
                if (open_.size() < 2 || current == nullptr || !current->name || *current->name != name) {
                    return status::kEndWithoutStart;
                }
                open_.pop_back();
                i = end + 1;
            } else {
                const int r = element(s, i);
                if (r != status::kOk) return r;
            }
        }
        return open_.size() > 1 ? status::kStartWithoutEnd : status::kOk;
    }

    std::string declaration, doctype;
    Value idMap;  // from version 8: the document's elements by their id attribute

private:
    void append(ObjectHandle node) {
        if (node) Insert(m_, open_.back(), node, SIZE_MAX);
    }

    void text(std::string t) {
        if (t.empty() || (ignoreWhite_ && AllBlank(t))) return;
        append(MakeNode(m_, NodePrototype(m_), XmlNode::kText, std::nullopt, std::move(t)));
    }

    // A start tag at `i`, with its attributes; `i` moves past it.
    int element(std::string_view s, size_t& i) {
        size_t j = i + 1;
        while (j < s.size() && !Blank(s[j]) && s[j] != '>' && s[j] != '/') ++j;
        const std::string name(s.substr(i + 1, j - i - 1));
        if (name.empty()) return status::kMalformedElement;
        const ObjectHandle node = MakeNode(m_, NodePrototype(m_), XmlNode::kElement, name, std::nullopt);
        const XmlNode* n = NodeOf(m_, node);
        if (n == nullptr) return status::kMalformedElement;
        const ObjectHandle attributes = n->attributes;
        std::vector<std::pair<std::string, std::string>> parsed;
        bool empty = false;
        for (;;) {
            while (j < s.size() && Blank(s[j])) ++j;
            if (j >= s.size()) return status::kMalformedElement;
            if (s[j] == '>') {
                ++j;
                break;
            }
            if (s[j] == '/') {
                if (j + 1 >= s.size() || s[j + 1] != '>') return status::kMalformedElement;
                empty = true;
                j += 2;
                break;
            }
            size_t k = j;
            while (k < s.size() && !Blank(s[k]) && s[k] != '=' && s[k] != '>' && s[k] != '/') ++k;
            const std::string attribute(s.substr(j, k - j));
            while (k < s.size() && Blank(s[k])) ++k;
            if (attribute.empty() || k >= s.size() || s[k] != '=') return status::kMalformedElement;
            ++k;
            while (k < s.size() && Blank(s[k])) ++k;
            if (k >= s.size() || (s[k] != '"' && s[k] != '\'')) return status::kMalformedElement;
            const size_t close = s.find(s[k], k + 1);
            if (close == std::string_view::npos) return status::kAttributeOpen;
            parsed.emplace_back(attribute, Unescape(s.substr(k + 1, close - k - 1)));
            j = close + 1;
        }
        // The attributes are made last first, so that for-in (newest first) and toString visit
        // them in the order of the source; the first of two of one name is kept.
        if (Object* a = m_.heap().get(attributes)) {
            for (size_t p = parsed.size(); p-- > 0;) {
                bool later = false;
                for (size_t q = 0; q < p; ++q) later = later || parsed[q].first == parsed[p].first;
                if (!later) a->set(parsed[p].first, Value::String(parsed[p].second));
            }
        }
        append(node);
        if (idMap.type() == Type::kObject) {
            for (const auto& [attribute, value] : parsed) {
                if (attribute == "id") m_.setMember(idMap, value, Value::Object(node));
            }
        }
        if (!empty) {
            if (open_.size() >= kMaxXmlDepth) return status::kMalformedElement;
            open_.push_back(node);
        }
        i = j;
        return status::kOk;
    }

    Machine& m_;
    bool ignoreWhite_;
    std::vector<ObjectHandle> open_;  // the document, then the elements not yet closed
};

void Serialize(Machine& m, ObjectHandle h, std::string& out, size_t depth) {
    const XmlNode* n = NodeOf(m, h);
    if (n == nullptr || depth > kMaxXmlDepth * 4 || !m.charge(kWorkPerElement)) return;
    if (n->type == XmlNode::kText) {
        out += Escape(n->value.value_or(""));
        return;
    }
    const std::vector<ObjectHandle> children = n->children;
    if (n->name) {
        out += '<';
        out += *n->name;
        if (const Object* a = m.heap().get(n->attributes)) {
            const std::vector<Property>& props = a->properties();
            for (size_t i = props.size(); i-- > 0;) {
                out += ' ';
                out += props[i].name;
                out += "=\"";
                out += Escape(m.toString(props[i].value));
                out += '"';
            }
        }
        if (children.empty()) {
            out += " />";
            return;
        }
        out += '>';
    }
    for (ObjectHandle c : children) Serialize(m, c, out, depth + 1);
    if (n->name) {
        out += "</";
        out += *n->name;
        out += '>';
    }
}

// Clears a document's children and parses `text` into it, with the status and declarations.
void ParseInto(Machine& m, const Value& self, const std::string& text) {
    XmlNode* doc = NodeOf(m, self);
    if (doc == nullptr) return;
    while (!doc->children.empty()) {
        Detach(m, doc->children.back());
        doc = NodeOf(m, self);
        if (doc == nullptr) return;
    }
    Parser parser(m, self.object(), m.toBoolean(m.getMember(self, "ignoreWhite")));
    const Value idMap = m.getMember(self, "idMap");
    if (idMap.type() == Type::kObject) parser.idMap = idMap;
    const int result = parser.parse(text);
    m.setMember(self, "status", Value::Number(result));
    if (!parser.declaration.empty()) m.setMember(self, "xmlDecl", Value::String(parser.declaration));
    if (!parser.doctype.empty()) m.setMember(self, "docTypeDecl", Value::String(parser.doctype));
}

// --- XMLNode ---

Value ConstructNode(Machine& m, const Value& self, std::vector<Value>& args) {
    // Type 3 makes text; any other number, NaN too, an element.
    const double type = m.toNumber(Argument(args, 0));
    const Value v = Argument(args, 1);
    std::optional<std::string> text;
    if (!v.isNullish()) text = m.toString(v);
    const int kind = type == XmlNode::kText ? XmlNode::kText : XmlNode::kElement;
    Object* o = m.constructing() ? SelfObject(m, self) : nullptr;
    if (o == nullptr) return Value();
    const ObjectHandle made = MakeNode(m, m.builtins().xmlNode, kind, kind == XmlNode::kElement ? text : std::nullopt,
                                       kind == XmlNode::kText ? text : std::nullopt);
    Object* node = m.heap().get(made);
    o = SelfObject(m, self);
    if (node == nullptr || o == nullptr) return Value();
    o->xml = std::move(node->xml);
    node->xml.reset();
    return self;
}

// A node moves from another parent; among its own parent's children it stays where it is.
bool Movable(Machine& m, const Value& node, const Value& to) {
    const XmlNode* n = NodeOf(m, node);
    return n != nullptr && !(n->parent == to.object());
}

Value AppendChild(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value child = Argument(args, 0);
    if (NodeOf(m, self) != nullptr && Movable(m, child, self)) Insert(m, self.object(), child.object(), SIZE_MAX);
    return Value();
}

Value InsertBefore(Machine& m, const Value& self, std::vector<Value>& args) {
    const Value child = Argument(args, 0), before = Argument(args, 1);
    const XmlNode* n = NodeOf(m, self);
    if (n == nullptr || !Movable(m, child, self) || NodeOf(m, before) == nullptr) return Value();
    for (size_t i = 0; i < n->children.size(); ++i) {
        if (n->children[i] == before.object()) {
            Insert(m, self.object(), child.object(), i);
            break;
        }
    }
    return Value();
}

Value RemoveNode(Machine& m, const Value& self, std::vector<Value>&) {
    if (NodeOf(m, self) != nullptr) Detach(m, self.object());
    return Value();
}

ObjectHandle Clone(Machine& m, ObjectHandle h, bool deep, size_t depth) {
    const XmlNode* n = NodeOf(m, h);
    if (n == nullptr || depth > kMaxXmlDepth * 4) return {};
    const Object* original = m.heap().get(h);
    const ObjectHandle copy = MakeNode(m, original->prototype, n->type, n->name, n->value);
    n = NodeOf(m, h);
    const XmlNode* c = NodeOf(m, copy);
    if (n == nullptr || c == nullptr) return copy;
    if (const Object* from = m.heap().get(n->attributes)) {
        const std::vector<Property> props = from->properties();
        if (Object* to = m.heap().get(c->attributes)) {
            for (const Property& p : props) to->set(p.name, p.value, p.attributes);
        }
    }
    if (deep) {
        const std::vector<ObjectHandle> children = n->children;
        for (ObjectHandle child : children) {
            const ObjectHandle cc = Clone(m, child, true, depth + 1);
            if (cc) Insert(m, copy, cc, SIZE_MAX);
        }
    }
    return copy;
}

Value CloneNode(Machine& m, const Value& self, std::vector<Value>& args) {
    if (NodeOf(m, self) == nullptr) return Value();
    const ObjectHandle copy = Clone(m, self.object(), m.toBoolean(Argument(args, 0)), 0);
    return copy ? Value::Object(copy) : Value();
}

Value HasChildNodes(Machine& m, const Value& self, std::vector<Value>&) {
    const XmlNode* n = NodeOf(m, self);
    return n != nullptr ? Value::Bool(!n->children.empty()) : Value();
}

Value NodeToString(Machine& m, const Value& self, std::vector<Value>&) {
    if (NodeOf(m, self) == nullptr) return Value::String("");
    std::string out;
    Serialize(m, self.object(), out, 0);
    return Value::String(std::move(out));
}

// The prefix an attribute declares a namespace for: "xmlns:p" declares p; "xmlns", "xmlns:"
// and any other name that starts with xmlns declare the default one (""). False for others.
bool DeclaredPrefix(const std::string& attribute, std::string& prefix) {
    if (attribute.rfind("xmlns", 0) != 0) return false;
    prefix = attribute.size() > 5 && attribute[5] == ':' ? attribute.substr(6) : std::string();
    return true;
}

// The first declaration, in the source's order, on the node or the nearest ancestor, that
// `match` accepts; null when there is none.
template <typename Match>
Value FindDeclaration(Machine& m, const Value& self, Match&& match) {
    ObjectHandle h = self.type() == Type::kObject ? self.object() : ObjectHandle{};
    for (size_t depth = 0; h && depth < kMaxXmlDepth * 4; ++depth) {
        const XmlNode* n = NodeOf(m, h);
        if (n == nullptr) break;
        if (const Object* a = m.heap().get(n->attributes)) {
            const std::vector<Property> props = a->properties();
            for (size_t i = props.size(); i-- > 0;) {  // made last first: the source's order
                std::string prefix;
                if (!DeclaredPrefix(props[i].name, prefix)) continue;
                const std::string uri = m.toString(props[i].value);
                if (match(prefix, uri)) return Value::String(match.answer(prefix, uri));
            }
        }
        h = n->parent;
    }
    return Value::Null();
}

struct ByPrefix {
    std::string wanted;
    bool operator()(const std::string& prefix, const std::string&) const { return prefix == wanted; }
    std::string answer(const std::string&, const std::string& uri) const { return uri; }
};

struct ByUri {
    std::string wanted;
    bool operator()(const std::string&, const std::string& uri) const { return uri == wanted; }
    std::string answer(const std::string& prefix, const std::string&) const { return prefix; }
};

Value NamespaceForPrefix(Machine& m, const Value& self, std::vector<Value>& args) {
    return FindDeclaration(m, self, ByPrefix{m.toString(Argument(args, 0))});
}

Value PrefixForNamespace(Machine& m, const Value& self, std::vector<Value>& args) {
    return FindDeclaration(m, self, ByUri{m.toString(Argument(args, 0))});
}

// The getters.
template <typename F>
Value Read(Machine& m, const Value& self, F&& f) {
    const XmlNode* n = NodeOf(m, self);
    return n != nullptr ? f(*n) : Value();
}

Value GetNodeType(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return Value::Number(n.type); });
}
Value GetNodeName(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.name ? Value::String(*n.name) : Value::Null(); });
}
Value GetNodeValue(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.value ? Value::String(*n.value) : Value::Null(); });
}
Value GetPrefix(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) {
        if (!n.name) return Value::Null();
        const size_t colon = n.name->find(':');
        return Value::String(colon == std::string::npos ? std::string() : n.name->substr(0, colon));
    });
}
Value GetLocalName(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) {
        if (!n.name) return Value::Null();
        const size_t colon = n.name->find(':');
        return Value::String(colon == std::string::npos ? *n.name : n.name->substr(colon + 1));
    });
}
Value GetNamespaceUri(Machine& m, const Value& self, std::vector<Value>&) {
    const XmlNode* n = NodeOf(m, self);
    if (n == nullptr) return Value();
    if (!n->name) return Value::Null();
    const size_t colon = n->name->find(':');
    std::vector<Value> args{Value::String(colon == std::string::npos ? std::string() : n->name->substr(0, colon))};
    const Value uri = NamespaceForPrefix(m, self, args);
    return uri.isNull() ? Value::String("") : uri;
}
Value GetAttributes(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.attributes ? Value::Object(n.attributes) : Value(); });
}
Value GetChildNodes(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.childArray ? Value::Object(n.childArray) : Value(); });
}
Value GetParentNode(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return NodeValue(n.parent); });
}
Value GetFirstChild(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.children.empty() ? Value::Null() : Value::Object(n.children.front()); });
}
Value GetLastChild(Machine& m, const Value& self, std::vector<Value>&) {
    return Read(m, self, [](const XmlNode& n) { return n.children.empty() ? Value::Null() : Value::Object(n.children.back()); });
}

template <int Step>
Value GetSibling(Machine& m, const Value& self, std::vector<Value>&) {
    const XmlNode* n = NodeOf(m, self);
    if (n == nullptr) return Value();
    const XmlNode* p = NodeOf(m, n->parent);
    if (p == nullptr) return Value::Null();
    for (size_t i = 0; i < p->children.size(); ++i) {
        if (p->children[i] != self.object()) continue;
        const size_t j = i + static_cast<size_t>(Step);
        return j < p->children.size() ? Value::Object(p->children[j]) : Value::Null();
    }
    return Value::Null();
}

// The setters: a name and a value may be written; attributes take an object.
Value SetNodeName(Machine& m, const Value& self, std::vector<Value>& args) {
    if (XmlNode* n = NodeOf(m, self)) {
        // Undefined leaves the name as it is; null takes it away.
        const Value v = Argument(args, 0);
        if (v.isUndefined()) return Value();
        if (v.isNull()) n->name.reset();
        else {
            std::string s = m.toString(v);
            if ((n = NodeOf(m, self)) != nullptr) n->name = std::move(s);
        }
    }
    return Value();
}
Value SetNodeValue(Machine& m, const Value& self, std::vector<Value>& args) {
    if (XmlNode* n = NodeOf(m, self)) {
        const Value v = Argument(args, 0);
        if (v.isUndefined()) return Value();
        if (v.isNull()) n->value.reset();
        else {
            std::string s = m.toString(v);
            if ((n = NodeOf(m, self)) != nullptr) n->value = std::move(s);
        }
    }
    return Value();
}
Value SetAttributes(Machine& m, const Value& self, std::vector<Value>& args) {
    XmlNode* n = NodeOf(m, self);
    const Value v = Argument(args, 0);
    if (n != nullptr && v.type() == Type::kObject) n->attributes = v.object();
    return Value();
}

Value ReadOnly(Machine&, const Value&, std::vector<Value>&) { return Value(); }

struct Accessor {
    const char* name;
    NativeFunction get, set;
};

constexpr Accessor kAccessors[] = {
    {"nodeType", GetNodeType, ReadOnly},
    {"nodeName", GetNodeName, SetNodeName},
    {"nodeValue", GetNodeValue, SetNodeValue},
    {"prefix", GetPrefix, ReadOnly},
    {"localName", GetLocalName, ReadOnly},
    {"namespaceURI", GetNamespaceUri, ReadOnly},
    {"attributes", GetAttributes, SetAttributes},
    {"childNodes", GetChildNodes, ReadOnly},
    {"parentNode", GetParentNode, ReadOnly},
    {"firstChild", GetFirstChild, ReadOnly},
    {"lastChild", GetLastChild, ReadOnly},
    {"previousSibling", GetSibling<-1>, ReadOnly},
    {"nextSibling", GetSibling<1>, ReadOnly},
};

constexpr NativeMember kNodeMethods[] = {
    {"appendChild", AppendChild},
    {"insertBefore", InsertBefore},
    {"removeNode", RemoveNode},
    {"cloneNode", CloneNode},
    {"hasChildNodes", HasChildNodes},
    {"toString", NodeToString},
    {"getNamespaceForPrefix", NamespaceForPrefix},
    {"getPrefixForNamespace", PrefixForNamespace},
};

// --- XML ---

Value ConstructXml(Machine& m, const Value& self, std::vector<Value>& args) {
    Object* o = m.constructing() ? SelfObject(m, self) : nullptr;
    if (o == nullptr) return Value();
    const ObjectHandle made = MakeNode(m, m.builtins().xml, XmlNode::kElement, std::nullopt, std::nullopt);
    Object* node = m.heap().get(made);
    o = SelfObject(m, self);
    if (node == nullptr || o == nullptr) return Value();
    o->xml = std::move(node->xml);
    node->xml.reset();
    if (m.version() >= 8) {
        if (const ObjectHandle ids = m.newObject()) m.setMember(self, "idMap", Value::Object(ids));
    }
    const Value text = Argument(args, 0);
    if (!text.isNullish()) ParseInto(m, self, m.toString(text));
    return self;
}

Value CreateElement(Machine& m, const Value&, std::vector<Value>& args) {
    const ObjectHandle h = MakeNode(m, NodePrototype(m), XmlNode::kElement, m.toString(Argument(args, 0)), std::nullopt);
    return h ? Value::Object(h) : Value();
}

Value CreateTextNode(Machine& m, const Value&, std::vector<Value>& args) {
    const ObjectHandle h = MakeNode(m, NodePrototype(m), XmlNode::kText, std::nullopt, m.toString(Argument(args, 0)));
    return h ? Value::Object(h) : Value();
}

Value ParseXml(Machine& m, const Value& self, std::vector<Value>& args) {
    if (NodeOf(m, self) != nullptr) ParseInto(m, self, m.toString(Argument(args, 0)));
    return Value();
}

// The byte counts of a load are not kept. Loading itself (load, sendAndLoad) is with the
// other loads, in loading.cpp; nothing is sent anywhere.
Value Bytes(Machine&, const Value&, std::vector<Value>&) { return Value(); }

Value Send(Machine& m, const Value& self, std::vector<Value>&) {
    m.setMember(self, "loaded", Value::Bool(false));
    return Value::Bool(false);
}

// The default onData: parses what arrived and reports it to onLoad.
Value OnData(Machine& m, const Value& self, std::vector<Value>& args) { return ReportLoad(m, self, Argument(args, 0), ParseInto); }

Value Nothing(Machine&, const Value&, std::vector<Value>&) { return Value(); }

constexpr NativeMember kXmlMethods[] = {
    {"createElement", CreateElement},
    {"createTextNode", CreateTextNode},
    {"parseXML", ParseXml},
    {"send", Send},
    {"addRequestHeader", Nothing},
    {"getBytesLoaded", Bytes},
    {"getBytesTotal", Bytes},
    {"onData", OnData},
    {"onLoad", Nothing},
};

}  // namespace

void InstallXml(Machine& m, Builtins& b) {
    DefineClass(m, "XMLNode", ConstructNode, b.xmlNode, kNodeMethods);
    Heap& heap = m.heap();
    for (const Accessor& a : kAccessors) {
        const Value getter = Value::Object(m.newNative(a.get));
        const Value setter = Value::Object(m.newNative(a.set));
        Object* proto = heap.get(b.xmlNode);
        proto->setAccessor(a.name, getter, setter);
        proto->setAttributes(a.name, attribute::kDontEnum | attribute::kDontDelete);
    }
    b.xml = heap.make(b.xmlNode);
    DefineClass(m, "XML", ConstructXml, b.xml, kXmlMethods);
    Object* proto = heap.get(b.xml);
    proto->set("contentType", Value::String("application/x-www-form-urlencoded"), attribute::kDontEnum);
    proto->set("ignoreWhite", Value::Bool(false), attribute::kDontEnum);
    proto->set("loaded", Value(), attribute::kDontEnum);
    proto->set("status", Value::Number(0), attribute::kDontEnum);
}

}  // namespace avm1
