// TextField.StyleSheet: named styles (CSS selectors to objects of camel-cased properties),
// parsed from CSS text or a loaded file, and how they style a field's htmlText.

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/avm1/loader.h"
#include "engine/avm1/object.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

// Where a sheet keeps its styles: an object of selector -> style object, out of sight.
constexpr std::string_view kStyles = "\x01styles";
constexpr size_t kMaxCssBytes = 4u << 20;
constexpr size_t kMaxRules = 10000;

Object* stylesOf(Vm& vm, Object* sheet, bool make) {
    if (!sheet) return nullptr;
    const Value v = getSlot(sheet, kStyles);
    if (v.isObject()) return v.o;
    if (!make) return nullptr;
    Object* o = vm.newObject(nullptr);
    setSlot(vm, sheet, kStyles, Value(o));
    return o;
}

// A copy of a style's enumerable properties.
Object* copyStyle(Vm& vm, Object* from) {
    Object* o = vm.newObject();
    if (!from) return o;
    for (const std::string& name : vm.enumerate(from)) vm.set(o, name, vm.get(from, name));
    return o;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// "font-style" -> "fontStyle".
std::string camel(std::string_view s) {
    std::string out;
    bool up = false;
    for (char c : s) {
        if (c == '-') {
            up = true;
            continue;
        }
        out += up ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        up = false;
    }
    return out;
}

// Strips /* comments */.
std::string stripComments(std::string_view css) {
    std::string out;
    size_t i = 0;
    while (i < css.size()) {
        if (css.compare(i, 2, "/*") == 0) {
            const size_t e = css.find("*/", i + 2);
            if (e == std::string_view::npos) break;
            i = e + 2;
            continue;
        }
        out += css[i++];
    }
    return out;
}

struct Rule {
    std::vector<std::string> selectors;
    std::vector<std::pair<std::string, std::string>> decls;
};

// All rules of a style sheet, or nothing when any part is not CSS.
std::optional<std::vector<Rule>> parseCss(std::string_view text) {
    if (text.size() > kMaxCssBytes) return std::nullopt;
    const std::string css = stripComments(text);
    std::vector<Rule> rules;
    size_t i = 0;
    while (true) {
        while (i < css.size() && isSpace(css[i])) ++i;
        if (i >= css.size()) break;
        const size_t open = css.find('{', i);
        if (open == std::string::npos) return std::nullopt;
        const size_t close = css.find('}', open);
        if (close == std::string::npos) return std::nullopt;
        Rule r;
        std::string_view sel = std::string_view(css).substr(i, open - i);
        if (sel.find('}') != std::string_view::npos) return std::nullopt;
        while (true) {
            const size_t comma = sel.find(',');
            const std::string_view one = trim(sel.substr(0, comma));
            if (one.empty()) return std::nullopt;
            r.selectors.emplace_back(one);
            if (comma == std::string_view::npos) break;
            sel.remove_prefix(comma + 1);
        }
        std::string_view body = std::string_view(css).substr(open + 1, close - open - 1);
        while (!trim(body).empty()) {
            const size_t semi = body.find(';');
            const std::string_view decl = body.substr(0, semi);
            if (!trim(decl).empty()) {
                const size_t colon = decl.find(':');
                if (colon == std::string_view::npos) return std::nullopt;
                std::string_view value = decl.substr(colon + 1);
                // The value keeps what follows it up to the ';' or '}'.
                while (!value.empty() && isSpace(value.front())) value.remove_prefix(1);
                r.decls.emplace_back(camel(trim(decl.substr(0, colon))), std::string(value));
            }
            if (semi == std::string_view::npos) break;
            body.remove_prefix(semi + 1);
        }
        rules.push_back(std::move(r));
        if (rules.size() > kMaxRules) return std::nullopt;
        i = close + 1;
    }
    return rules;
}

// Each selector's style as an object of its declarations, set on `into`.
void putRules(Vm& vm, const std::vector<Rule>& rules, Object* into) {
    for (const Rule& r : rules) {
        for (const std::string& sel : r.selectors) {
            Object* o = vm.newObject();
            for (const auto& [k, v] : r.decls) vm.set(o, k, Value(v));
            vm.set(into, sel, Value(o));
        }
    }
}

bool applyCss(Vm& vm, Object* sheet, std::string_view text) {
    auto rules = parseCss(text);
    if (!rules) return false;
    putRules(vm, *rules, stylesOf(vm, sheet, true));
    return true;
}

// "#rrggbb" (the '#' optional, up to eight hex digits) as the colour's number.
std::optional<uint32_t> cssColor(std::string_view c) {
    if (!c.empty() && c[0] == '#') c.remove_prefix(1);
    if (c.empty() || c.size() > 8) return std::nullopt;
    uint32_t rgb = 0;
    for (char d : c) {
        const unsigned char u = static_cast<unsigned char>(d);
        if (!std::isxdigit(u)) return std::nullopt;
        rgb = rgb * 16 + uint32_t(std::isdigit(u) ? d - '0' : std::tolower(u) - 'a' + 10);
    }
    return rgb & 0xffffff;
}

std::optional<double> leadingNumber(std::string_view s) {
    s = trim(s);
    const std::string t(s);
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(d)) return std::nullopt;
    return d;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A CSS font family: the generic families name the player's device fonts.
std::string cssFontFamily(std::string_view s) {
    const std::string l = lowerAscii(s);
    if (l == "mono") return "_typewriter";
    if (l == "sans-serif") return "_sans";
    if (l == "serif") return "_serif";
    return std::string(s);
}

// One style's properties on top of a format, as a field's HTML applies them.
void applyStyle(const std::vector<std::pair<std::string, std::string>>& props, FieldFormat& f) {
    for (const auto& [name, raw] : props) {
        const std::string v = lowerAscii(trim(raw));
        const auto num = leadingNumber(raw);
        if (name == "color") {
            if (auto rgb = cssColor(v)) f.color = *rgb;
        } else if (name == "fontSize") {
            if (num) f.size = std::clamp(std::round(*num), 0.0, 10000.0);
        } else if (name == "fontFamily") {
            f.font = cssFontFamily(trim(raw));
        } else if (name == "fontWeight") {
            if (v == "bold") f.bold = true;
            if (v == "normal") f.bold = false;
        } else if (name == "fontStyle") {
            if (v == "italic") f.italic = true;
            if (v == "normal") f.italic = false;
        } else if (name == "textDecoration") {
            if (v == "underline") f.underline = true;
            if (v == "none") f.underline = false;
        } else if (name == "textAlign") {
            if (v == "left" || v == "right" || v == "center" || v == "justify") f.align = v;
        } else if (name == "marginLeft") {
            if (num) f.leftMargin = std::clamp(std::round(*num), 0.0, 1e4);
        } else if (name == "marginRight") {
            if (num) f.rightMargin = std::clamp(std::round(*num), 0.0, 1e4);
        } else if (name == "textIndent") {
            if (num) f.indent = std::clamp(std::round(*num), -1e4, 1e4);
        } else if (name == "leading") {
            if (num) f.leading = std::clamp(std::round(*num), -1e4, 1e4);
        } else if (name == "letterSpacing") {
            if (num) f.letterSpacing = std::clamp(*num, -1e4, 1e4);
        } else if (name == "kerning") {
            f.kerning = v == "true" || (num && *num != 0);
        } else if (name == "display") {
            if (v == "none" || v == "inline" || v == "block") f.display = v;
        }
    }
}

}  // namespace

render::HtmlStyler styleSheetStyler(Vm& vm, Object* sheet) {
    Object* styles = stylesOf(vm, sheet, false);
    if (!styles) return {};
    // The rules as they are now: lower-cased selector -> properties as text.
    using Props = std::vector<std::pair<std::string, std::string>>;
    auto table = std::make_shared<std::vector<std::pair<std::string, Props>>>();
    for (const std::string& sel : vm.enumerate(styles)) {
        const Value st = vm.get(styles, sel);
        if (!st.isObject()) continue;
        Props props;
        for (const std::string& k : vm.enumerate(st.o))
            props.emplace_back(k, vm.toString(vm.get(st.o, k)));
        table->emplace_back(lowerAscii(sel), std::move(props));
    }
    auto find = [table](const std::string& sel) -> const Props* {
        for (const auto& [name, props] : *table)
            if (name == sel) return &props;
        return nullptr;
    };
    return [find](std::u32string_view tag, std::u32string_view cls, FieldFormat& f) {
        std::string name;
        for (char32_t c : tag) name += c < 0x80 ? static_cast<char>(c) : '?';
        // Tag rules reach paragraphs, list items and links; classes those and spans.
        if (name != "p" && name != "li" && name != "a" && name != "span") return;
        if (name != "span")
            if (const Props* p = find(name)) applyStyle(*p, f);
        if (!cls.empty()) {
            std::string c = ".";
            for (char32_t ch : cls) utf8Append(c, ch);
            if (const Props* p = find(lowerAscii(c))) applyStyle(*p, f);
        }
    };
}

void installStyleSheet(Vm& vm, Object* textFieldCtor) {
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, proto);
    vm.defineValue(textFieldCtor, "StyleSheet", ctor);

    vm.defineFunction(proto, "setStyle", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return {};
        Object* styles = stylesOf(vm, self, true);
        const std::string name = vm.toString(a[0]);
        const Value st = a.size() > 1 ? a[1] : Value();
        if (st.isObject())
            vm.set(styles, name, Value(copyStyle(vm, st.o)));
        else
            vm.deleteProperty(styles, name);
        return {};
    });
    vm.defineFunction(proto, "getStyle", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* styles = stylesOf(vm, self, false);
        if (!styles || a.empty()) return Value::null();
        const Value st = vm.get(styles, vm.toString(a[0]));
        return st.isObject() ? Value(copyStyle(vm, st.o)) : Value::null();
    });
    vm.defineFunction(proto, "getStyleNames", [](Vm& vm, Object* self, Args&) -> Value {
        std::vector<Value> names;
        if (Object* styles = stylesOf(vm, self, false))
            for (const std::string& n : vm.enumerate(styles)) names.emplace_back(n);
        return Value(vm.newArray(std::move(names)));
    });
    vm.defineFunction(proto, "clear", [](Vm& vm, Object* self, Args&) -> Value {
        if (self) setSlot(vm, self, kStyles, Value(vm.newObject(nullptr)));
        return {};
    });
    auto parse = [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return Value(false);
        return Value(applyCss(vm, self, a.empty() ? std::string() : vm.toString(a[0])));
    };
    // The player writes the class as a script: most methods are script functions, and
    // parseCSS is parse under a second name.
    vm.defineFunction(proto, "parse", parse);
    vm.defineValue(proto, "parseCSS", vm.get(proto, "parse"), DontEnum | DontDelete);
    vm.defineMethod(proto, "parseCSSInternal", [](Vm& vm, Object*, Args& a) -> Value {
        auto rules = parseCss(a.empty() ? std::string() : vm.toString(a[0]));
        if (!rules) return Value::null();
        Object* out = vm.newObject();
        putRules(vm, *rules, out);
        return Value(out);
    });
    vm.defineMethod(proto, "parseColor", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty()) return Value::null();
        // Only "#" and six hex digits make a colour here.
        const std::string c = vm.toString(a[0]);
        const auto rgb = c.size() == 7 && c[0] == '#' ? cssColor(c) : std::nullopt;
        return rgb ? Value(double(*rgb)) : Value::null();
    });
    vm.defineMethod(proto, "parseCSSFontFamily", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty() || a[0].isUndefined()) return {};
        return Value(cssFontFamily(vm.toString(a[0])));
    });
    vm.defineFunction(proto, "_copy", [](Vm& vm, Object*, Args& a) -> Value {
        return arg(a, 0).isObject() ? Value(copyStyle(vm, a[0].o)) : Value::null();
    });
    // Formats are worked out from the styles whenever a field asks: nothing is cached for
    // these to refresh.
    vm.defineFunction(proto, "doTransform", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "update", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineFunction(proto, "onLoad", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineFunction(proto, "transform", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty() || !a[0].isObject()) return Value::null();
        std::vector<std::pair<std::string, std::string>> props;
        for (const std::string& k : vm.enumerate(a[0].o))
            props.emplace_back(k, vm.toString(vm.get(a[0].o, k)));
        FieldFormat f;
        applyStyle(props, f);
        Value fmt = vm.construct(vm.get(vm.global, "TextFormat"), {});
        if (!fmt.isObject()) return Value::null();
        auto setIf = [&](const char* css, const char* name, Value v) {
            for (const auto& p : props)
                if (p.first == css) vm.set(fmt.o, name, std::move(v));
        };
        setIf("color", "color", Value(double(f.color)));
        setIf("fontSize", "size", Value(f.size));
        setIf("fontFamily", "font", Value(f.font));
        setIf("fontWeight", "bold", Value(f.bold));
        setIf("fontStyle", "italic", Value(f.italic));
        setIf("textDecoration", "underline", Value(f.underline));
        setIf("textAlign", "align", Value(f.align));
        setIf("marginLeft", "leftMargin", Value(f.leftMargin));
        setIf("marginRight", "rightMargin", Value(f.rightMargin));
        setIf("textIndent", "indent", Value(f.indent));
        setIf("leading", "leading", Value(f.leading));
        setIf("letterSpacing", "letterSpacing", Value(f.letterSpacing));
        setIf("kerning", "kerning", Value(f.kerning));
        setIf("display", "display", Value(f.display));
        return fmt;
    });
    // A file of CSS from the movie's folder; onLoad hears whether it parsed.
    vm.defineMethod(proto, "load", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty() || !vm.loads || vm.loads->jobs.size() >= Loads::kMaxJobs)
            return Value(false);
        vm.loads->jobs.push_back({Loads::Job::Data, self, {}, vm.toString(a[0])});
        return Value(true);
    });
    vm.defineFunction(proto, "onData", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        if (a.empty() || a[0].isUndefined()) {
            vm.callMethod(Value(self), "onLoad", {Value(false)});
            return {};
        }
        const Value ok = vm.callMethod(Value(self), "parse", {a[0]});
        vm.callMethod(Value(self), "onLoad", {Value(vm.toBoolean(ok))});
        return {};
    });
}

}  // namespace swf::avm1
