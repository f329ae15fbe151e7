// XML and XMLNode: a small DOM kept in the objects' own (hidden) properties, so the heap's
// collector sees every node, and a forgiving parser that reports Flash's status codes.

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

// Internal slots; names a script cannot write by accident.
constexpr std::string_view kType = "\x01xmlType", kName = "\x01xmlName", kValue = "\x01xmlValue",
                           kAttrs = "\x01xmlAttrs", kParent = "\x01xmlParent",
                           kKids = "\x01xmlKids", kNodeNatives = "\x01xmlNodeNatives",
                           kXmlNatives = "\x01xmlNatives";

constexpr size_t kMaxParsedNodes = 1u << 20;
constexpr int kMaxDepth = 4096;  // deeper trees are printed and cloned only this far

enum Status {
    kOk = 0,
    kCdataOpen = -2,
    kDeclOpen = -3,
    kDoctypeOpen = -4,
    kCommentOpen = -5,
    kBadElement = -6,
    kTooBig = -7,
    kAttrOpen = -8,
    kNoEndTag = -9,
    kNoStartTag = -10,
};

Value slot(Vm& vm, Object* o, std::string_view name) {
    Property* p = o ? o->findAny(vm.key(name)) : nullptr;
    return p ? p->value : Value();
}

void setSlot(Vm& vm, Object* o, std::string_view name, Value v) {
    o->setOwn(name, vm.key(name), std::move(v), DontEnum | DontDelete).hidden = true;
}

Object* kidsOf(Vm& vm, Object* node) {
    const Value v = slot(vm, node, kKids);
    return v.isObject() && v.o->cls == ObjClass::Array ? v.o : nullptr;
}

bool isNode(Vm& vm, Object* o) { return o && kidsOf(vm, o); }

Object* parentOf(Vm& vm, Object* node) {
    const Value v = slot(vm, node, kParent);
    return v.isObject() ? v.o : nullptr;
}

void initNode(Vm& vm, Object* o, int type, Value name, Value value) {
    setSlot(vm, o, kType, Value(type));
    setSlot(vm, o, kName, std::move(name));
    setSlot(vm, o, kValue, std::move(value));
    // The attributes inherit nothing: every name in them is one the document gave.
    setSlot(vm, o, kAttrs, Value(vm.newObject(nullptr)));
    setSlot(vm, o, kParent, Value::null());
    setSlot(vm, o, kKids, Value(vm.newArray()));
}

// A node the player makes itself (parsing, createElement, cloneNode) owns its constructor, the
// one its prototype names.
Object* newNode(Vm& vm, Object* proto, int type, Value name, Value value) {
    const Property* c = proto ? proto->findOwn(vm.key("constructor")) : nullptr;
    Object* o = vm.newInstance(proto, c && c->value.isObject() ? c->value.o : nullptr);
    initNode(vm, o, type, std::move(name), std::move(value));
    return o;
}

void detach(Vm& vm, Object* node) {
    Object* parent = parentOf(vm, node);
    if (Object* kids = parent ? kidsOf(vm, parent) : nullptr) {
        auto& e = kids->elems;
        e.erase(std::remove_if(e.begin(), e.end(),
                               [&](const Value& v) { return v.isObject() && v.o == node; }),
                e.end());
    }
    setSlot(vm, node, kParent, Value::null());
}

// Would putting child under parent make a loop?
bool isSelfOrAncestor(Vm& vm, Object* child, Object* parent) {
    for (int i = 0; parent && i < 1 << 20; ++i, parent = parentOf(vm, parent))
        if (parent == child) return true;
    return false;
}

void insertAt(Vm& vm, Object* parent, Object* child, size_t pos) {
    detach(vm, child);
    Object* kids = kidsOf(vm, parent);
    pos = std::min(pos, kids->elems.size());
    kids->elems.insert(kids->elems.begin() + static_cast<std::ptrdiff_t>(pos), Value(child));
    setSlot(vm, child, kParent, Value(parent));
}

// ---- text

void escapeInto(std::string& out, std::string_view s) {
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out.push_back(c);
        }
    }
}

// Known entities and character references are decoded; anything else stays as written.
std::string unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            out.push_back(s[i++]);
            continue;
        }
        const size_t semi = s.find(';', i + 1);
        const size_t amp = s.find('&', i + 1);
        if (semi == std::string_view::npos || (amp != std::string_view::npos && amp < semi) ||
            semi - i > 12) {
            out.push_back(s[i++]);
            continue;
        }
        const std::string_view name = s.substr(i + 1, semi - i - 1);
        static constexpr std::pair<std::string_view, std::string_view> named[] = {
            {"amp", "&"},   {"lt", "<"},   {"gt", ">"},
            {"quot", "\""}, {"apos", "'"}, {"nbsp", "\u00A0"}};
        bool done = false;
        for (const auto& [n, c] : named)
            if (name == n) {
                out += c;
                done = true;
            }
        if (!done && name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t code = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                int d = -1;
                if (c >= '0' && c <= '9') d = c - '0';
                if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
                if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
                if (d < 0 || code > 0x10FFFF) {
                    ok = false;
                    break;
                }
                code = code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
            }
            if (ok && code > 0 && code <= 0x10FFFF) {
                utf8Append(out, static_cast<char32_t>(code));
                done = true;
            }
        }
        if (done) {
            i = semi + 1;
        } else {
            out.push_back(s[i++]);
        }
    }
    return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void nodeToString(Vm& vm, Object* node, std::string& out, int depth) {
    if (depth > kMaxDepth) return;
    const Value type = slot(vm, node, kType);
    if (type.isNumber() && type.n == 3) {
        const Value v = slot(vm, node, kValue);
        if (!v.isNullish()) escapeInto(out, vm.toString(v));
        return;
    }
    const Value name = slot(vm, node, kName);
    Object* kids = kidsOf(vm, node);
    const bool named = !name.isNullish();
    if (named) {
        out += '<';
        out += vm.toString(name);
        const Value attrs = slot(vm, node, kAttrs);
        if (attrs.isObject()) {
            // In for..in order: newest first, so parsed attributes (stored last to first)
            // come back in the order they were written.
            const auto props = attrs.o->props();
            for (auto it = props.rbegin(); it != props.rend(); ++it) {
                const auto& p = *it;
                if ((p.flags & DontEnum) || p.hidden) continue;
                out += ' ';
                out += p.name;
                out += "=\"";
                escapeInto(out, vm.toString(vm.get(attrs.o, p.name)));
                out += '"';
            }
        }
        if (!kids || kids->elems.empty()) {
            out += " />";
            return;
        }
        out += '>';
    }
    if (kids) {
        const auto list = kids->elems;
        for (const auto& k : list)
            if (k.isObject() && isNode(vm, k.o)) nodeToString(vm, k.o, out, depth + 1);
    }
    if (named) {
        out += "</";
        out += vm.toString(name);
        out += '>';
    }
}

Object* cloneNode(Vm& vm, Object* node, bool deep, int depth) {
    Object* copy = newNode(vm, node->proto, 1, slot(vm, node, kName), slot(vm, node, kValue));
    setSlot(vm, copy, kType, slot(vm, node, kType));
    const Value attrs = slot(vm, node, kAttrs);
    Object* to = slot(vm, copy, kAttrs).o;
    if (attrs.isObject())
        for (const auto& n : vm.enumerate(attrs.o)) vm.set(to, n, vm.get(attrs.o, n));
    if (deep && depth < kMaxDepth) {
        const auto list = kidsOf(vm, node)->elems;
        for (const auto& k : list)
            if (k.isObject() && isNode(vm, k.o)) {
                Object* c = cloneNode(vm, k.o, true, depth + 1);
                insertAt(vm, copy, c, kidsOf(vm, copy)->elems.size());
            }
    }
    return copy;
}

// Parses text into doc's children (replacing them); returns the status code.
int parseInto(Vm& vm, Object* doc, Object* nodeProto, std::string_view s, bool ignoreWhite) {
    kidsOf(vm, doc)->elems.clear();
    std::vector<Object*> stack{doc};
    std::string decl;
    size_t made = 0;
    auto add = [&](Object* n) {
        insertAt(vm, stack.back(), n, kidsOf(vm, stack.back())->elems.size());
    };
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        if (++made > kMaxParsedNodes) return kTooBig;
        if (s[i] != '<') {
            size_t end = s.find('<', i);
            if (end == std::string_view::npos) end = n;
            const std::string_view raw = s.substr(i, end - i);
            i = end;
            if (ignoreWhite && std::all_of(raw.begin(), raw.end(), isSpace)) continue;
            add(newNode(vm, nodeProto, 3, Value::null(), Value(unescape(raw))));
            continue;
        }
        const std::string_view rest = s.substr(i);
        if (rest.starts_with("<!--")) {
            const size_t end = s.find("-->", i + 4);
            if (end == std::string_view::npos) return kCommentOpen;
            i = end + 3;
        } else if (rest.starts_with("<![CDATA[")) {
            const size_t end = s.find("]]>", i + 9);
            if (end == std::string_view::npos) return kCdataOpen;
            add(newNode(vm, nodeProto, 3, Value::null(), Value(s.substr(i + 9, end - i - 9))));
            i = end + 3;
        } else if (rest.starts_with("<?")) {
            const size_t end = s.find("?>", i + 2);
            if (end == std::string_view::npos) return kDeclOpen;
            // The declarations of one text follow each other; a new text's replace the old.
            decl += s.substr(i, end + 2 - i);
            vm.set(doc, "xmlDecl", Value(decl));
            i = end + 2;
        } else if (rest.starts_with("<!")) {
            // An internal subset in brackets may hold '>' of its own.
            size_t end = s.find('>', i + 2);
            if (const size_t open = s.find('[', i + 2); open < end) {
                const size_t close = s.find(']', open);
                end = close == std::string_view::npos ? close : s.find('>', close);
            }
            if (end == std::string_view::npos) return kDoctypeOpen;
            vm.set(doc, "docTypeDecl", Value(s.substr(i, end + 1 - i)));
            i = end + 1;
        } else if (rest.starts_with("</")) {
            const size_t end = s.find('>', i + 2);
            if (end == std::string_view::npos) return kBadElement;
            std::string_view name = s.substr(i + 2, end - i - 2);
            while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
            i = end + 1;
            if (stack.size() == 1) return kNoStartTag;
            if (vm.toString(slot(vm, stack.back(), kName)) != name) return kNoEndTag;
            stack.pop_back();
        } else {
            size_t j = i + 1;
            while (j < n && !isSpace(s[j]) && s[j] != '/' && s[j] != '>') ++j;
            if (j == i + 1 || j >= n) return kBadElement;
            Object* el =
                newNode(vm, nodeProto, 1, Value(s.substr(i + 1, j - i - 1)), Value::null());
            Object* attrs = slot(vm, el, kAttrs).o;
            std::vector<std::pair<std::string_view, std::string>> parsed;
            bool closed = false, open = false;
            while (j < n) {
                while (j < n && isSpace(s[j])) ++j;
                if (j >= n) break;
                if (s[j] == '>') {
                    open = true;
                    ++j;
                    break;
                }
                if (s[j] == '/') {
                    if (j + 1 < n && s[j + 1] == '>') {
                        closed = true;
                        j += 2;
                        break;
                    }
                    return kBadElement;
                }
                const size_t nameStart = j;
                while (j < n && !isSpace(s[j]) && s[j] != '=' && s[j] != '>' && s[j] != '/') ++j;
                const std::string_view attrName = s.substr(nameStart, j - nameStart);
                while (j < n && isSpace(s[j])) ++j;
                if (attrName.empty() || j >= n || s[j] != '=') return kBadElement;
                ++j;
                while (j < n && isSpace(s[j])) ++j;
                if (j >= n || (s[j] != '"' && s[j] != '\'')) return kBadElement;
                const size_t close = s.find(s[j], j + 1);
                if (close == std::string_view::npos) return kAttrOpen;
                if (std::none_of(parsed.begin(), parsed.end(), [&](const auto& a) {
                        return vm.key(a.first) == vm.key(attrName);
                    }))
                    parsed.emplace_back(attrName, unescape(s.substr(j + 1, close - j - 1)));
                j = close + 1;
            }
            if (!open && !closed) return kBadElement;
            // Stored last to first: for..in then lists them as written.
            for (auto it = parsed.rbegin(); it != parsed.rend(); ++it)
                vm.set(attrs, it->first, Value(it->second));
            add(el);
            // Elements with an id are listed in the document's idMap as they are read.
            if (Property* id = attrs->findOwn(vm.key("id")))
                if (Value map = vm.get(doc, "idMap"); map.isObject())
                    vm.set(map.o, vm.toString(id->value), Value(el));
            if (open) {
                if (static_cast<int>(stack.size()) > kMaxDepth) return kTooBig;
                stack.push_back(el);
            }
            i = j;
        }
    }
    return stack.size() > 1 ? kNoEndTag : kOk;
}

// Namespace lookups walk up from node through the xmlns attributes.
Value namespaceFor(Vm& vm, Object* node, std::string_view prefix) {
    const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (int i = 0; node && i < kMaxDepth; ++i, node = parentOf(vm, node)) {
        const Value attrs = slot(vm, node, kAttrs);
        if (attrs.isObject() && vm.hasProperty(attrs.o, attr)) return vm.get(attrs.o, attr);
    }
    return Value::null();
}

void accessor(Vm& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set = {}) {
    if (proto->findOwn(vm.key(name))) return;  // a script's own comes first
    // The player writes the node classes as scripts: their members are plain properties.
    Property& p = proto->setOwn(name, vm.key(name), Value(), 0);
    p.getter = vm.newMethod(std::move(get));
    p.setter = set ? vm.newMethod(std::move(set)) : nullptr;
}

// A native method of the node classes: a plain property, as the player's scripts leave them.
void nodeMethod(Vm& vm, Object* o, std::string_view name, NativeFn fn) {
    vm.defineMethod(o, name, std::move(fn), 0);
}

Value nodeOrNull(Object* o) { return o ? Value(o) : Value::null(); }

Object* sibling(Vm& vm, Object* node, int step) {
    Object* parent = parentOf(vm, node);
    Object* kids = parent ? kidsOf(vm, parent) : nullptr;
    if (!kids) return nullptr;
    const auto& e = kids->elems;
    for (size_t i = 0; i < e.size(); ++i)
        if (e[i].isObject() && e[i].o == node) {
            const std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) + step;
            if (j < 0 || j >= static_cast<std::ptrdiff_t>(e.size())) return nullptr;
            return e[static_cast<size_t>(j)].isObject() ? e[static_cast<size_t>(j)].o : nullptr;
        }
    return nullptr;
}

// The node properties are put on the prototype of the first node made from it, as the player
// puts a native class's properties there only once an instance needs them.
void nodeAccessors(Vm& vm, Object* proto) {
    if (!proto || slot(vm, proto, kNodeNatives).isBool()) return;
    setSlot(vm, proto, kNodeNatives, Value(true));
    accessor(vm, proto, "nodeType", [](Vm& vm, Object* self, Args&) -> Value {
        return isNode(vm, self) ? slot(vm, self, kType) : Value();
    });
    accessor(
        vm, proto, "nodeName",
        [](Vm& vm, Object* self, Args&) -> Value {
            return isNode(vm, self) ? slot(vm, self, kName) : Value();
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (isNode(vm, self))
                setSlot(vm, self, kName,
                        arg(a, 0).isNullish() ? Value::null() : Value(vm.toString(a[0])));
            return {};
        });
    accessor(
        vm, proto, "nodeValue",
        [](Vm& vm, Object* self, Args&) -> Value {
            return isNode(vm, self) ? slot(vm, self, kValue) : Value();
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (isNode(vm, self))
                setSlot(vm, self, kValue,
                        arg(a, 0).isNullish() ? Value::null() : Value(vm.toString(a[0])));
            return {};
        });
    accessor(vm, proto, "attributes", [](Vm& vm, Object* self, Args&) -> Value {
        return isNode(vm, self) ? slot(vm, self, kAttrs) : Value();
    });
    accessor(vm, proto, "childNodes", [](Vm& vm, Object* self, Args&) -> Value {
        Object* kids = isNode(vm, self) ? kidsOf(vm, self) : nullptr;
        return kids ? Value(vm.newArray(kids->elems)) : Value();
    });
    accessor(vm, proto, "parentNode", [](Vm& vm, Object* self, Args&) -> Value {
        return isNode(vm, self) ? nodeOrNull(parentOf(vm, self)) : Value();
    });
    accessor(vm, proto, "firstChild", [](Vm& vm, Object* self, Args&) -> Value {
        Object* kids = isNode(vm, self) ? kidsOf(vm, self) : nullptr;
        if (!kids) return {};
        return kids->elems.empty() ? Value::null() : kids->elems.front();
    });
    accessor(vm, proto, "lastChild", [](Vm& vm, Object* self, Args&) -> Value {
        Object* kids = isNode(vm, self) ? kidsOf(vm, self) : nullptr;
        if (!kids) return {};
        return kids->elems.empty() ? Value::null() : kids->elems.back();
    });
    accessor(vm, proto, "nextSibling", [](Vm& vm, Object* self, Args&) -> Value {
        return isNode(vm, self) ? nodeOrNull(sibling(vm, self, 1)) : Value();
    });
    accessor(vm, proto, "previousSibling", [](Vm& vm, Object* self, Args&) -> Value {
        return isNode(vm, self) ? nodeOrNull(sibling(vm, self, -1)) : Value();
    });
    accessor(vm, proto, "localName", [](Vm& vm, Object* self, Args&) -> Value {
        if (!isNode(vm, self)) return {};
        const Value n = slot(vm, self, kName);
        if (n.isNullish()) return Value::null();
        const std::string s = vm.toString(n);
        const size_t c = s.find(':');
        return Value(c == std::string::npos ? s : s.substr(c + 1));
    });
    accessor(vm, proto, "prefix", [](Vm& vm, Object* self, Args&) -> Value {
        if (!isNode(vm, self)) return {};
        const Value n = slot(vm, self, kName);
        if (n.isNullish()) return Value::null();
        const std::string s = vm.toString(n);
        const size_t c = s.find(':');
        return Value(c == std::string::npos ? std::string() : s.substr(0, c));
    });
    accessor(vm, proto, "namespaceURI", [](Vm& vm, Object* self, Args&) -> Value {
        if (!isNode(vm, self)) return {};
        const Value n = slot(vm, self, kName);
        if (n.isNullish()) return Value::null();
        const std::string s = vm.toString(n);
        const size_t c = s.find(':');
        // An element whose prefix is bound nowhere is in no namespace: the empty one.
        const Value uri = namespaceFor(vm, self, c == std::string::npos ? "" : s.substr(0, c));
        return uri.isNull() ? Value("") : uri;
    });
}

// XML's own properties, likewise put on its prototype by the first document made.
void xmlProperties(Vm& vm, Object* proto) {
    if (!proto || slot(vm, proto, kXmlNatives).isBool()) return;
    setSlot(vm, proto, kXmlNatives, Value(true));
    // What a script set there before keeps its value.
    auto define = [&](std::string_view name, Value v) {
        if (!proto->findOwn(vm.key(name))) vm.defineValue(proto, name, std::move(v), 0);
    };
    define("ignoreWhite", Value(false));
    define("contentType", Value("application/x-www-form-urlencoded"));
    define("status", Value(0));
    define("loaded", Value());
    define("xmlDecl", Value());
    define("docTypeDecl", Value());
}

}  // namespace

void installXmlBuiltins(Vm& vm) {
    Object* g = vm.global;

    // ---- XMLNode
    Object* nodeProto = vm.newObject();
    Object* nodeCtor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            // Without arguments the object made is no node at all.
            if (!self || a.empty()) return {};
            // Only a node given both its type and its text is made natively.
            if (a.size() >= 2 && !a[0].isUndefined() && !a[1].isUndefined())
                nodeAccessors(vm, self->proto);
            const int type = toInt32(vm.toNumber(arg(a, 0)));
            const Value v = a.size() > 1 ? Value(vm.toString(a[1])) : Value::null();
            if (type == 3)
                initNode(vm, self, 3, Value::null(), v);
            else
                initNode(vm, self, type, v, Value::null());
            return {};
        },
        nodeProto);
    vm.defineValue(g, "XMLNode", nodeCtor);

    nodeAccessors(vm, nodeProto);

    nodeMethod(vm, nodeProto, "appendChild", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* child = arg(a, 0).isObject() ? a[0].o : nullptr;
        if (!isNode(vm, self) || !isNode(vm, child) || isSelfOrAncestor(vm, child, self)) return {};
        // A node already among self's children stays where it is.
        if (parentOf(vm, child) == self) return {};
        insertAt(vm, self, child, kidsOf(vm, self)->elems.size());
        return {};
    });
    nodeMethod(vm, nodeProto, "insertBefore", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* child = arg(a, 0).isObject() ? a[0].o : nullptr;
        Object* before = arg(a, 1).isObject() ? a[1].o : nullptr;
        if (!isNode(vm, self) || !isNode(vm, child) || !before || child == before ||
            isSelfOrAncestor(vm, child, self))
            return {};
        if (parentOf(vm, before) != self || parentOf(vm, child) == self) return {};
        detach(vm, child);
        const auto& e = kidsOf(vm, self)->elems;
        size_t pos = 0;
        while (pos < e.size() && !(e[pos].isObject() && e[pos].o == before)) ++pos;
        insertAt(vm, self, child, pos);
        return {};
    });
    nodeMethod(vm, nodeProto, "removeNode", [](Vm& vm, Object* self, Args&) -> Value {
        if (isNode(vm, self)) detach(vm, self);
        return {};
    });
    nodeMethod(vm, nodeProto, "cloneNode", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!isNode(vm, self)) return {};
        return Value(cloneNode(vm, self, vm.toBoolean(arg(a, 0)), 0));
    });
    nodeMethod(vm, nodeProto, "hasChildNodes", [](Vm& vm, Object* self, Args&) -> Value {
        Object* kids = isNode(vm, self) ? kidsOf(vm, self) : nullptr;
        return Value(kids && !kids->elems.empty());
    });
    // A document's declarations come first (no plain node has them).
    nodeMethod(vm, nodeProto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!isNode(vm, self)) return Value("[object Object]");
        std::string out;
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            const Value d = vm.get(self, decl);
            if (!d.isNullish()) out += vm.toString(d);
        }
        nodeToString(vm, self, out, 0);
        return Value(out);
    });
    nodeMethod(vm, nodeProto, "getNamespaceForPrefix", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!isNode(vm, self) || a.empty()) return Value::null();
        return namespaceFor(vm, self, vm.toString(a[0]));
    });
    nodeMethod(vm, nodeProto, "getPrefixForNamespace", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!isNode(vm, self) || a.empty()) return Value::null();
        const std::string uri = vm.toString(a[0]);
        for (Object* n = self; n; n = parentOf(vm, n)) {
            const Value attrs = slot(vm, n, kAttrs);
            if (!attrs.isObject()) continue;
            for (const auto& name : vm.enumerate(attrs.o)) {
                if (vm.toString(vm.get(attrs.o, name)) != uri) continue;
                if (name == "xmlns") return Value("");
                if (name.starts_with("xmlns:")) return Value(name.substr(6));
            }
        }
        return Value::null();
    });

    // ---- XML
    // Nodes made by parsing or the create methods take XMLNode.prototype as it is at the time,
    // so a script that replaces it gives them its own class.
    auto protoNow = [nodeCtor, nodeProto](Vm& vm) -> Object* {
        const Value p = vm.get(nodeCtor, "prototype");
        return p.isObject() ? p.o : nodeProto;
    };
    Object* xmlCtor = newSubclass(vm, nodeCtor, [protoNow](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        xmlProperties(vm, self->proto);
        initNode(vm, self, 1, Value::null(), Value::null());
        if (vm.version() >= 8) vm.defineValue(self, "idMap", Value(vm.newObject()));
        if (!a.empty() && !a[0].isNullish()) {
            const std::string text = vm.toString(a[0]);
            vm.set(self, "status",
                   Value(parseInto(vm, self, protoNow(vm), text,
                                   vm.toBoolean(vm.get(self, "ignoreWhite")))));
        }
        return {};
    });
    Object* xmlProto = vm.get(xmlCtor, "prototype").o;
    vm.defineValue(g, "XML", xmlCtor);

    nodeMethod(vm, xmlProto, "parseXML", [protoNow](Vm& vm, Object* self, Args& a) -> Value {
        if (!isNode(vm, self)) return {};
        const std::string text = vm.toString(arg(a, 0));
        vm.set(self, "status",
               Value(parseInto(vm, self, protoNow(vm), text,
                               vm.toBoolean(vm.get(self, "ignoreWhite")))));
        return {};
    });
    nodeMethod(vm, xmlProto, "createElement", [protoNow](Vm& vm, Object*, Args& a) -> Value {
        nodeAccessors(vm, protoNow(vm));
        return Value(newNode(vm, protoNow(vm), 1, Value(vm.toString(arg(a, 0))), Value::null()));
    });
    nodeMethod(vm, xmlProto, "createTextNode", [protoNow](Vm& vm, Object*, Args& a) -> Value {
        nodeAccessors(vm, protoNow(vm));
        return Value(newNode(vm, protoNow(vm), 3, Value::null(), Value(vm.toString(arg(a, 0)))));
    });
    // The methods the player writes as script functions, prototype object and all.
    for (const char* m : {"addRequestHeader", "onLoad"})
        vm.defineFunction(
            xmlProto, m, [](Vm&, Object*, Args&) -> Value { return {}; }, 0);
    // load, sendAndLoad and the byte counts come with the loader (loader.cpp).
    nodeMethod(vm, xmlProto, "send", [](Vm&, Object*, Args&) -> Value { return Value(true); });
    vm.defineFunction(
        xmlProto, "onData",
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            if (arg(a, 0).isUndefined()) {
                vm.callMethod(Value(self), "onLoad", {Value(false)});
            } else {
                vm.callMethod(Value(self), "parseXML", {a[0]});
                vm.set(self, "loaded", Value(true));
                vm.callMethod(Value(self), "onLoad", {Value(true)});
            }
            return {};
        },
        0);
}

}  // namespace swf::avm1
