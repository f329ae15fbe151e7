// TextField, TextFormat, Selection and TextSnapshot; fields on timelines and made by scripts.

#include "engine/avm1/text_field.h"

#include <QPointF>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <limits>

#include "engine/avm1/button_object.h"
#include "engine/avm1/display_props.h"
#include "engine/avm1/focus.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/vm.h"
#include "engine/render/text_render.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/text_field_view.h"

namespace swf::avm1 {

namespace {

std::string toCr(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out.push_back(s[i] == '\n' ? '\r' : s[i]);
    }
    return out;
}

// Number -> integer the way the player's format code converts: half to even, and anything
// outside 32 bits (or NaN) becomes the "integer indefinite" -2^31.
double roundInt(double d) {
    if (!std::isfinite(d)) return -2147483648.0;
    const double r = std::nearbyint(d);
    if (r > 2147483647.0 || r < -2147483648.0) return -2147483648.0;
    return r;
}

// Before SWF 8 the format code cuts the fraction off instead.
double formatInt(double d, int version) {
    return roundInt(version >= 8 || !std::isfinite(d) ? d : std::trunc(d));
}

std::string lower(std::string_view s) { return asciiLower(s); }

format::Rgba rgba(uint32_t c) {
    return format::Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
}

}  // namespace

// ---------------------------------------------------------------- the field

TextFieldHost::TextFieldHost(TextFields& owner, ClipHost* parent, const DisplayObject& o,
                             const format::EditText& d, std::string name)
    : def(d),
      owner_(owner),
      parent_(parent),
      name_(std::move(name)),
      depth_(o.depth),
      created_(false),
      characterId_(o.characterId),
      placedAt_(o.placedAt) {
    const int version = owner.swfVersion();
    const std::string initial = render::fieldText(def.initialText, version).toStdString();
    FieldFormat fmt;
    if (def.fontId) {
        fmt.font = owner.fontName(*def.fontId);
        // The font's own style is a plain field's first; html says its own.
        if (const format::Font* f = def.html ? nullptr : owner.font(*def.fontId)) {
            fmt.bold = f->bold;
            fmt.italic = f->italic;
        }
    }
    fmt.size = def.height / 20.0;
    if (def.color) fmt.color = (uint32_t(def.color->r) << 16) | (def.color->g << 8) | def.color->b;
    static const char* aligns[] = {"left", "right", "center", "justify"};
    fmt.align = aligns[def.align & 3];
    // The definition's twips come to whole pixels, as a text format holds them.
    fmt.leftMargin = std::trunc(def.leftMargin / 20.0);
    fmt.rightMargin = std::trunc(def.rightMargin / 20.0);
    fmt.indent = std::trunc(def.indent / 20.0);
    fmt.leading = std::trunc(def.leading / 20.0);
    newFmt = fmt;
    background = def.border;
    if (def.autoSize) autoSize = "left";
    if (def.maxLength) maxChars = *def.maxLength;
    initialText = initial;
    if (def.html)
        setHtmlText(initial);
    else
        setText(initial);
    def.initialText.clear();
}

TextFieldHost::TextFieldHost(TextFields& owner, ClipHost* parent, std::string name, int depth,
                             double x, double y, double w, double h)
    : owner_(owner), parent_(parent), name_(std::move(name)), depth_(depth), created_(true) {
    auto tw = [](double px) {
        return static_cast<int32_t>(std::clamp(std::round(px * 20), -1e9, 1e9));
    };
    def.bounds = format::Rect{0, tw(w), 0, tw(h)};
    def.readOnly = true;
    def.height = 240;
    own_.depth = depth + 16384;
    own_.matrix.tx = tw(x);
    own_.matrix.ty = tw(y);
}

bool TextFieldHost::matches(const DisplayObject& o) const {
    return o.depth == depth_ && o.characterId == characterId_ && o.placedAt == placedAt_;
}

DisplayObject* TextFieldHost::object() const {
    if (!alive) return nullptr;
    if (created_) return const_cast<DisplayObject*>(&own_);
    DisplayList* l = owner_.listOf ? owner_.listOf(parent_) : nullptr;
    if (!l) return nullptr;
    auto it = l->objects.find(depth_);
    if (it == l->objects.end() || !matches(it->second)) return nullptr;
    return &it->second;
}

// Besides the placement properties: _width 8, _height 9, which size the field's box.
std::optional<double> TextFieldHost::property(int index) const {
    DisplayObject* o = object();
    if (!o) return std::nullopt;
    if (autoSize != "none") holdScroll();
    const auto& m = o->matrix;
    // The box's bounds as its parent sees them, turned and scaled, each edge on a whole twip.
    auto span = [&](double a, double b) {
        const double xs[] = {a * def.bounds.xMin, a * def.bounds.xMax};
        const double ys[] = {b * def.bounds.yMin, b * def.bounds.yMax};
        double lo = xs[0] + ys[0], hi = lo;
        for (double x : xs)
            for (double y : ys) {
                lo = std::min(lo, x + y);
                hi = std::max(hi, x + y);
            }
        return (std::round(hi) - std::round(lo)) / 20.0;
    };
    switch (index) {
        case 8:
            return span(m.sx, m.r1);
        case 9:
            return span(m.r0, m.sy);
        default:
            return displayProperty(*o, index);
    }
}

void TextFieldHost::setProperty(int index, double v) {
    DisplayObject* o = object();
    if (!o || !std::isfinite(v)) return;
    // A field's place and size are whole twips, the fraction cut off.
    auto twips = [](double px) {
        return static_cast<int32_t>(std::clamp(std::trunc(px * 20), -2147483648.0, 2147483647.0));
    };
    switch (index) {
        case 0:
            setDisplayProperty(*o, index, v);
            o->matrix.tx = twips(v);
            break;
        case 1:
            setDisplayProperty(*o, index, v);
            o->matrix.ty = twips(v);
            break;
        case 8:
            // A field's width and height size its box in its own space, whatever its scale;
            // they never scale its text.
            if (v >= 0) def.bounds.xMax = def.bounds.xMin + twips(v);
            break;
        case 9:
            if (v >= 0) def.bounds.yMax = def.bounds.yMin + twips(v);
            break;
        default:
            setDisplayProperty(*o, index, v);
            break;
    }
    changed();
    publish();
}

namespace {

std::u32string toU32(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU32String();
}

std::string fromU32(std::u32string_view s) {
    return QString::fromUcs4(s.data(), static_cast<qsizetype>(s.size())).toStdString();
}

}  // namespace

render::TextExtent TextFieldHost::extent() const {
    if (!owner_.movie) return {};
    return render::measureText(*owner_.movie, def, content);
}

namespace {
// How many lines from `first` on fit, one after another, in a box `room` pixels high (at least
// one); step -1 counts upwards from the last.
int linesFitting(const render::TextExtent& e, int first, int step, double room) {
    const int n = static_cast<int>(e.lineHeights.size());
    int fit = 0;
    double used = 0;
    for (int i = first; i >= 0 && i < n; i += step) {
        if (fit > 0 && used + e.lineHeights[size_t(i)] > room) break;
        used += e.lineHeights[size_t(i)] + e.lineLeadings[size_t(i)];
        ++fit;
    }
    return std::max(fit, 1);
}

// The room the lines have: the box less its 2 pixel gutters.
double lineRoom(const format::EditText& def) {
    return (def.bounds.yMax - def.bounds.yMin) / 20.0 - 4;
}
}  // namespace

int TextFieldHost::maxScroll() const {
    const render::TextExtent e = extent();
    // The empty line after a last paragraph end needs no scrolling to.
    int n = static_cast<int>(e.lineHeights.size());
    if (n > 1 && !content.chars.empty() && content.chars.back() == U'\r') --n;
    if (n == 0) return 1;
    return std::max(1, n - linesFitting(e, n - 1, -1, lineRoom(def)) + 1);
}

int TextFieldHost::bottomScroll() const {
    const render::TextExtent e = extent();
    const int first = scrollLine();
    return first + linesFitting(e, first - 1, 1, lineRoom(def)) - 1;
}

void TextFieldHost::setScroll(double line) {
    if (std::isnan(line)) return;
    scroll_ = static_cast<int>(std::clamp(std::floor(line), 1.0, double(maxScroll())));
    changed();
}

void TextFieldHost::fitSize() {
    if (autoSize == "none") return;
    const render::TextExtent e = extent();
    auto twips = [](double px) {
        return static_cast<int32_t>(std::clamp(std::round(px * 20), 0.0, 1e8));
    };
    def.bounds.yMax = def.bounds.yMin + twips(e.height + 4);
    if (def.wordWrap) return;
    // The box keeps the side autoSize names in place, moving the field for the others.
    const int32_t w = twips(e.width + 4);
    const int32_t grow = w - (def.bounds.xMax - def.bounds.xMin);
    def.bounds.xMax = def.bounds.xMin + w;
    DisplayObject* o = object();
    if (!o) return;
    if (autoSize == "right")
        o->matrix.tx -= grow;
    else if (autoSize == "center")
        o->matrix.tx -= grow / 2;
}

void TextFieldHost::setHScroll(double px) {
    // Whole pixels, the fraction cut off; nothing that is not a number scrolls back home.
    const double d = std::isfinite(px) ? std::trunc(px) : 0;
    hscroll = static_cast<int>(std::clamp(d, 0.0, double(maxHScroll())));
    changed();
}

std::string TextFieldHost::text() const { return fromU32(content.chars); }

void TextFieldHost::setText(std::string_view utf8) {
    // New text takes the new-text format, whatever the old had.
    render::replaceRange(content, 0, content.chars.size(), toU32(toCr(utf8)), newFmt);
    changed();
}

void TextFieldHost::setHtmlText(std::string_view html) {
    if (styleSheet) {
        // With a style sheet the text is HTML whatever the html flag says.
        styledHtml = std::string(html);
        const render::HtmlStyler styler = styleSheetStyler(owner_.vm(), styleSheet);
        content = render::parseHtmlText(toU32(html), newFmt, def.multiline, condenseWhite,
                                        owner_.swfVersion(), &styler);
        changed();
        return;
    }
    if (!def.html) {
        setText(html);
        return;
    }
    content = render::parseHtmlText(toU32(html), newFmt, def.multiline, condenseWhite,
                                    owner_.swfVersion());
    changed();
}

std::string TextFieldHost::htmlText() const {
    if (styleSheet && styledHtml) return *styledHtml;
    if (!def.html && !styleSheet) return text();
    return render::writeHtmlText(content);
}

namespace {

// Where a field's variable lives: the object and the property name; null when nowhere.
Object* bindingTarget(Vm& vm, TextFieldHost& f, std::string& prop) {
    const std::string& var = f.def.variableName;
    // A field in a button's state binds on the timeline holding the button: a button keeps
    // no variables.
    ClipHost* timeline = f.parent();
    for (int up = 0; up < 64 && dynamic_cast<ButtonHost*>(timeline); ++up)
        timeline = timeline->parent();
    if (var.empty() || !timeline || dynamic_cast<ButtonHost*>(timeline)) return nullptr;
    size_t cut = var.rfind(':');
    if (cut == std::string::npos) cut = var.rfind('.');
    if (cut == std::string::npos) {
        prop = var;
        return vm.clipObject(timeline);
    }
    prop = var.substr(cut + 1);
    const std::string path = var.substr(0, cut);
    if (ClipHost* t = vm.resolveTarget(path, timeline)) return vm.clipObject(t);
    // "obj.name": a path through plain objects of the field's timeline.
    Value cur(vm.clipObject(timeline));
    size_t at = 0;
    while (at <= path.size()) {
        const size_t dot = path.find('.', at);
        const std::string part = path.substr(at, dot == std::string::npos ? dot : dot - at);
        cur = vm.get(cur, part);
        if (!cur.isObject()) return nullptr;
        if (dot == std::string::npos) break;
        at = dot + 1;
    }
    return cur.isObject() ? cur.o : nullptr;
}

}  // namespace

void TextFieldHost::pullVariable(bool initial) {
    Vm& vm = owner_.vm();
    std::string prop;
    Object* t = bindingTarget(vm, *this, prop);
    if (!t || prop.empty()) return;
    // Plain objects are read once, when the binding is made; timelines every time.
    if (!initial && t->cls != ObjClass::MovieClip) return;
    const Value v = vm.get(t, prop);
    if (v.isUndefined()) {
        // A new binding gives an unset variable the field's first text.
        if (initial && !initialText.empty()) {
            vm.set(t, prop, Value(initialText));
            if (def.html)
                setHtmlText(initialText);
            else
                setText(initialText);
        }
        return;
    }
    const std::string s = vm.toString(v);
    if (s == bound_) return;
    bound_ = s;
    if (def.html)
        setHtmlText(s);
    else
        setText(s);
}

void TextFieldHost::pushVariable() {
    Vm& vm = owner_.vm();
    std::string prop;
    Object* t = bindingTarget(vm, *this, prop);
    if (!t || prop.empty()) return;
    // A read-only variable keeps its value, and the field the text it was given.
    if (const Property* p = t->findOwn(vm.key(prop)); p && (p->flags & ReadOnly) && !p->isAccessor()) {
        bound_ = vm.toString(p->value);
        return;
    }
    bound_ = def.html ? htmlText() : text();
    vm.set(t, prop, Value(bound_));
}

namespace {
std::atomic<uint64_t> viewSerial{0};
}  // namespace

bool followLinkAt(Vm& vm, double x, double y) {
    QPointF local;
    TextFieldHost* f = textFieldAt(vm, x, y, false, &local);
    const DisplayObject* o = f ? f->object() : nullptr;
    if (!o || !o->textField || !vm.textFields->movie) return false;
    const auto at = render::textFieldCharAt(*vm.textFields->movie, *o->textField, local);
    if (!at) return false;
    const FieldFormat& fmt = render::formatAt(o->textField->content, *at, FieldFormat{});
    if (fmt.url.empty()) return false;
    constexpr std::string_view kAsFunction = "asfunction:";
    const std::string& url = fmt.url;
    const bool asFunction =
        url.size() >= kAsFunction.size() &&
        std::equal(kAsFunction.begin(), kAsFunction.end(), url.begin(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
    if (!asFunction) {
        openUrl(vm, url, fmt.target);
        return true;
    }
    // The function's name, a path from the field's timeline, and one string argument.
    const std::string call = url.substr(kAsFunction.size());
    const size_t comma = call.find(',');
    std::string name = call.substr(0, comma);
    Value receiver(vm.clipObject(f->parent()));
    for (size_t dot; (dot = name.find('.')) != std::string::npos && receiver.isObject();) {
        receiver = vm.get(receiver.o, name.substr(0, dot));
        name.erase(0, dot + 1);
    }
    if (!receiver.isObject()) return true;
    // A bare name the timeline lacks is looked for among the globals.
    if (receiver.o == vm.clipObject(f->parent()) && !vm.get(receiver.o, name).isObject())
        receiver = Value(vm.global);
    Args args;
    if (comma != std::string::npos) args.push_back(Value(call.substr(comma + 1)));
    vm.callMethod(receiver, name, std::move(args));
    return true;
}

void TextFieldHost::publish() {
    DisplayObject* o = object();
    if (dirty_ || !view_) {
        fitSize();
        // New text or a new box may leave less to scroll.
        if (hscroll > 0) hscroll = std::min(hscroll, maxHScroll());
        auto v = std::make_shared<TextFieldView>();
        v->serial = ++viewSerial;
        v->field = def;
        v->field.border = def.border;
        v->background = background;
        v->backgroundColor = rgba(backgroundColor);
        v->borderColor = rgba(borderColor);
        v->content = content;
        v->newFormat = newFmt;
        v->hscroll = hscroll;
        v->scroll = scroll_ > 1 ? scrollLine() : 1;  // the first line needs no layout
        view_ = std::move(v);
        dirty_ = false;
    }
    const auto& shown = owner_.shownFocus();
    const bool focused = shown.field == this;
    const int b = focused ? shown.selBegin : 0, e = focused ? shown.selEnd : 0;
    if (view_->focused != focused || view_->selBegin != b || view_->selEnd != e) {
        auto v = std::make_shared<TextFieldView>(*view_);
        v->serial = ++viewSerial;
        v->focused = focused;
        v->selBegin = b;
        v->selEnd = e;
        view_ = std::move(v);
    }
    if (o) o->textField = view_;
    if (!created_ || !owner_.listOf) return;
    // A created field lives in its parent's display list too, so that it is drawn.
    DisplayList* l = owner_.listOf(parent_);
    if (!l) return;
    auto it = l->objects.find(own_.depth);
    if (it == l->objects.end() || (it->second.characterId == 0 && it->second.textField)) {
        DisplayObject& slot = l->objects[own_.depth];
        slot = own_;
        slot.textField = view_;
    }
}

// ---------------------------------------------------------------- the registry

TextFields::TextFields(Vm& vm) : vm_(vm) {}
TextFields::~TextFields() = default;

int TextFields::swfVersion() const { return vm_.version(); }

const format::Font* TextFields::font(uint16_t fontId) const {
    const Character* ch = movie ? movie->character(fontId) : nullptr;
    const auto* f = ch ? std::get_if<FontCharacter>(ch) : nullptr;
    return f ? &f->get().font : nullptr;
}

std::string TextFields::fontName(uint16_t fontId) const {
    const format::Font* f = font(fontId);
    if (!f) return "Times New Roman";
    std::string n = f->name;
    while (!n.empty() && n.back() == '\0') n.pop_back();
    return n.empty() ? "Times New Roman" : n;
}

void TextFields::nativeProperties(Object* p) {
    const std::string mark = "\x01tfNatives";
    if (!p || !fieldProperties || p->findAny(mark)) return;
    p->setOwn(mark, mark, Value(true), DontEnum | DontDelete).hidden = true;
    fieldProperties(vm_, p);
}

Object* TextFields::objectFor(TextFieldHost* f) {
    if (!f->scriptObject) {
        // A field takes TextField.prototype as it is now.
        const Value ctor = vm_.get(vm_.global, "TextField");
        const Value current = ctor.isObject() ? vm_.get(ctor, "prototype") : Value();
        Object* p = current.isObject() ? current.o : proto;
        nativeProperties(p);
        Object* o = vm_.newObject(p);
        o->cls = ObjClass::TextField;
        o->clip = f;
        f->scriptObject = o;
        // Every field broadcasts to its listeners, itself first.
        vm_.defineValue(o, "_listeners", vm_.newArray({Value(o)}), DontEnum);
    }
    return f->scriptObject;
}

TextFieldHost* TextFields::placed(ClipHost* parent, const DisplayObject& o,
                                  const format::EditText& def) {
    const auto key =
        std::make_tuple(static_cast<const ClipHost*>(parent), o.depth, o.characterId, o.placedAt);
    auto it = placed_.find(key);
    if (it != placed_.end()) return it->second.get();
    if (placed_.size() >= 100000) return nullptr;
    std::string name = o.name.empty() ? "instance" + std::to_string(++vm_.instanceNames) : o.name;
    auto f = std::make_unique<TextFieldHost>(*this, parent, o, def, std::move(name));
    TextFieldHost* raw = f.get();
    placed_.emplace(key, std::move(f));
    objectFor(raw);
    raw->pullVariable(true);
    raw->publish();
    return raw;
}

std::vector<ClipHost*> TextFields::childrenOf(ClipHost* parent) {
    std::vector<ClipHost*> out;
    if (!parent) return out;
    if (listOf && movie) {
        if (DisplayList* l = listOf(parent)) {
            // Collect first: making a field may run a script that changes the list.
            std::vector<std::pair<DisplayObject, const format::EditText*>> found;
            for (auto& [depth, o] : l->objects) {
                if (o.characterId == 0) continue;
                const Character* ch = movie->character(o.characterId);
                const auto* e = ch ? std::get_if<EditTextCharacter>(ch) : nullptr;
                if (e) found.emplace_back(o, &e->text);
            }
            for (auto& [o, def] : found)
                if (TextFieldHost* f = placed(parent, o, *def)) out.push_back(f);
        }
    }
    for (auto& f : created_)
        if (f->parent() == parent && f->alive) out.push_back(f.get());
    return out;
}

TextFieldHost* TextFields::create(ClipHost* parent, std::string_view name, int depth, double x,
                                  double y, double w, double h) {
    if (!parent || created_.size() >= 100000) return nullptr;
    // The depth is taken from whatever created field held it.
    for (auto& f : created_)
        if (f->parent() == parent && f->rawDepth() == depth) {
            remove(f.get());
            break;
        }
    auto f = std::make_unique<TextFieldHost>(*this, parent, std::string(name), depth, x, y, w, h);
    TextFieldHost* raw = f.get();
    created_.push_back(std::move(f));
    objectFor(raw);
    raw->publish();
    return raw;
}

void TextFields::remove(TextFieldHost* field) {
    auto it = std::find_if(created_.begin(), created_.end(),
                           [&](const auto& f) { return f.get() == field; });
    if (it == created_.end()) return;
    if (listOf) {
        if (DisplayList* l = listOf(field->parent())) {
            auto o = l->objects.find(field->depth());
            if (o != l->objects.end() && o->second.characterId == 0 && o->second.textField)
                l->objects.erase(o);
        }
    }
    field->alive = false;
    if (field->scriptObject) field->scriptObject->clip = nullptr;
    field->scriptObject = nullptr;
    if (shownFocus_.field == field) shownFocus_ = {};
    gone_.push_back(std::move(*it));
    created_.erase(it);
}

void TextFields::parentGone(const ClipHost* parent) {
    std::vector<TextFieldHost*> dead;
    for (auto& f : created_)
        if (f->parent() == parent) dead.push_back(f.get());
    for (TextFieldHost* f : dead) remove(f);
    for (auto it = placed_.begin(); it != placed_.end();) {
        if (it->second->parent() == parent) {
            TextFieldHost* f = it->second.get();
            f->alive = false;
            if (f->scriptObject) f->scriptObject->clip = nullptr;
            f->scriptObject = nullptr;
            if (shownFocus_.field == f) shownFocus_ = {};
            gone_.push_back(std::move(it->second));
            it = placed_.erase(it);
        } else {
            ++it;
        }
    }
}

void TextFields::noteFocus() {
    shownFocus_ = {};
    const Value f = focusedObject(vm_);
    TextFieldHost* field = f.isObject() ? textFieldOf(f.o) : nullptr;
    if (!field || !vm_.input || vm_.input->selBegin < 0 || vm_.input->selEnd < 0) return;
    shownFocus_ = {field, vm_.input->selBegin, vm_.input->selEnd};
}

void TextFields::sync() {
    gone_.clear();
    noteFocus();
    // Placed fields that left the stage.
    for (auto it = placed_.begin(); it != placed_.end();) {
        TextFieldHost* f = it->second.get();
        if (!f->object()) {
            f->alive = false;
            if (f->scriptObject) f->scriptObject->clip = nullptr;
            f->scriptObject = nullptr;
            if (shownFocus_.field == f) shownFocus_ = {};
            gone_.push_back(std::move(it->second));
            it = placed_.erase(it);
        } else {
            ++it;
        }
    }
    // Every timeline's fields, found from the root down.
    std::vector<ClipHost*> work;
    if (vm_.root_) work.push_back(vm_.root_);
    std::vector<TextFieldHost*> fields;
    for (size_t i = 0; i < work.size() && i < 100000; ++i) {
        for (ClipHost* c : vm_.childrenOf(work[i])) {
            if (auto* f = dynamic_cast<TextFieldHost*>(c))
                fields.push_back(f);
            else
                work.push_back(c);
        }
    }
    for (TextFieldHost* f : fields) {
        if (!f->alive) continue;
        // A script's getter that fails leaves the field its text.
        vm_.enter([&] { f->pullVariable(false); });
        f->holdScroll();
        f->publish();
    }
}

TextFieldHost* textFieldOf(Object* o) {
    if (!o || o->cls != ObjClass::TextField || !o->clip) return nullptr;
    return dynamic_cast<TextFieldHost*>(o->clip);
}

// ---------------------------------------------------------------- TextFormat

namespace {

// Spacing: indent, leading and blockIndent, which a setter before SWF 8 keeps from going below 0.
enum class FmtKind {
    String,
    Font,
    Int,
    Spacing,
    Margin,
    Color,
    Bool,
    Align,
    Tabs,
    Number,
    Display
};

struct FmtProp {
    const char* name;
    FmtKind kind;
};

constexpr FmtProp kFmtProps[] = {
    {"font", FmtKind::Font},          {"size", FmtKind::Int},
    {"color", FmtKind::Color},        {"url", FmtKind::String},
    {"target", FmtKind::String},      {"bold", FmtKind::Bool},
    {"italic", FmtKind::Bool},        {"underline", FmtKind::Bool},
    {"align", FmtKind::Align},        {"leftMargin", FmtKind::Margin},
    {"rightMargin", FmtKind::Margin}, {"indent", FmtKind::Spacing},
    {"leading", FmtKind::Spacing},    {"blockIndent", FmtKind::Spacing},
    {"tabStops", FmtKind::Tabs},      {"bullet", FmtKind::Bool},
    {"kerning", FmtKind::Bool},       {"letterSpacing", FmtKind::Number},
    {"display", FmtKind::Display},
};

std::string slot(std::string_view name) { return "\x01tf_" + std::string(name); }

Value fmtGet(Object* self, const char* name) {
    if (!self) return {};
    Property* p = self->findAny(slot(name));
    return p ? p->value : Value::null();
}

void fmtStore(Object* self, const char* name, Value v) {
    self->setOwn(slot(name), slot(name), std::move(v), DontEnum);
    if (Property* p = self->findAny(slot(name))) p->hidden = true;
}

// byConstructor: the value is new TextFormat's argument, which takes margins below 0 before
// SWF 8.
Value convertFmt(Vm& vm, FmtKind kind, const Value& v, const Value& old,
                 bool byConstructor = false) {
    // A missing alignment leaves the one set.
    if (v.isNullish()) return kind == FmtKind::Align ? old : Value::null();
    const int version = vm.version();
    switch (kind) {
        case FmtKind::String:
            return Value(vm.toString(v));
        case FmtKind::Font: {
            // Font names are cut to 64 characters.
            const std::u32string s = toU32(vm.toString(v));
            return Value(fromU32(std::u32string_view(s).substr(0, 64)));
        }
        case FmtKind::Int:
            return Value(formatInt(vm.toNumber(v), version));
        case FmtKind::Spacing:
        case FmtKind::Margin: {
            double d = vm.toNumber(v);
            const bool keepsSign = kind == FmtKind::Spacing ? version >= 8 || byConstructor
                                                            : version < 8 && byConstructor;
            if (!keepsSign && (std::isnan(d) || d < 0)) d = 0;
            return Value(formatInt(d, version));
        }
        case FmtKind::Color:
            return Value(static_cast<double>(toUint32(vm.toNumber(v))));
        case FmtKind::Bool:
            return Value(vm.toBoolean(v));
        case FmtKind::Align: {
            const std::string a = lower(vm.toString(v));
            if (a == "left" || a == "center" || a == "right" || a == "justify") return Value(a);
            return old;
        }
        case FmtKind::Tabs: {
            // An array, or any object with a length: its elements by index, at most 1000.
            if (!v.isObject()) return old;
            std::vector<Value> out;
            if (v.o->cls == ObjClass::Array) {
                for (const auto& e : v.o->elems) out.push_back(Value(roundInt(vm.toNumber(e))));
            } else {
                const Value len = vm.get(v.o, "length");
                if (len.isUndefined()) return old;
                const double n = std::min(vm.toNumber(len), 1000.0);
                for (int i = 0; i < n; ++i)
                    out.push_back(Value(roundInt(vm.toNumber(vm.get(v.o, std::to_string(i))))));
            }
            return Value(vm.newArray(std::move(out)));
        }
        case FmtKind::Number:
            return Value(vm.toNumber(v));
        case FmtKind::Display: {
            // Anything but none or inline is a block.
            const std::string d = lower(vm.toString(v));
            return Value(d == "none" || d == "inline" ? d : std::string("block"));
        }
    }
    return Value::null();
}

// What a property's setter makes of an object before SWF 8: the player asks it for a number
// twice and a text once (display: twice) whatever the property, and keeps the first number.
// From SWF 8 it converts the object once, as the property needs.
Value setterInput(Vm& vm, FmtKind kind, const Value& v) {
    if (!v.isObject() || vm.version() >= 8) return v;
    const double first = vm.toNumber(v);
    vm.toNumber(v);
    std::string text = vm.toString(v);
    if (kind == FmtKind::Display) text = vm.toString(v);
    switch (kind) {
        case FmtKind::Int:
        case FmtKind::Spacing:
        case FmtKind::Margin:
        case FmtKind::Number:
        case FmtKind::Color:
            return Value(first);
        case FmtKind::Bool:
        case FmtKind::Tabs:
            return v;
        default:
            return Value(std::move(text));
    }
}

Object* makeFormat(Vm& vm, TextFields& tf) { return vm.newObject(tf.formatProto); }

// A TextFormat object holding every value of f.
Object* formatObject(Vm& vm, TextFields& tf, const FieldFormat& f) {
    Object* o = makeFormat(vm, tf);
    fmtStore(o, "font", Value(f.font));
    fmtStore(o, "size", Value(f.size));
    fmtStore(o, "color", Value(static_cast<double>(f.color)));
    fmtStore(o, "url", Value(f.url));
    fmtStore(o, "target", Value(f.target));
    fmtStore(o, "bold", Value(f.bold));
    fmtStore(o, "italic", Value(f.italic));
    fmtStore(o, "underline", Value(f.underline));
    fmtStore(o, "align", Value(f.align));
    fmtStore(o, "leftMargin", Value(f.leftMargin));
    fmtStore(o, "rightMargin", Value(f.rightMargin));
    fmtStore(o, "indent", Value(f.indent));
    fmtStore(o, "leading", Value(f.leading));
    fmtStore(o, "blockIndent", Value(f.blockIndent));
    std::vector<Value> tabs;
    for (double t : f.tabStops) tabs.push_back(Value(t));
    fmtStore(o, "tabStops", Value(vm.newArray(std::move(tabs))));
    fmtStore(o, "bullet", Value(f.bullet));
    fmtStore(o, "kerning", Value(f.kerning));
    fmtStore(o, "letterSpacing", Value(f.letterSpacing));
    fmtStore(o, "display", Value(f.display));
    return o;
}

// A format object's set values onto f: those of characters, of paragraphs, or both.
void applyFormat(Vm& vm, const Value& fv, FieldFormat& f, bool chars = true,
                 bool paragraphs = true) {
    if (!fv.isObject()) return;
    Object* o = fv.o;
    auto str = [&](const char* n, std::string& out) {
        Value v = fmtGet(o, n);
        if (!v.isNull() && !v.isUndefined()) out = vm.toString(v);
    };
    auto num = [&](const char* n, double& out) {
        Value v = fmtGet(o, n);
        if (v.isNumber()) out = v.n;
    };
    auto flag = [&](const char* n, bool& out) {
        Value v = fmtGet(o, n);
        if (v.isBool()) out = v.b;
    };
    if (chars) {
        str("font", f.font);
        num("size", f.size);
        if (Value c = fmtGet(o, "color"); c.isNumber()) f.color = static_cast<uint32_t>(c.n);
        str("url", f.url);
        str("target", f.target);
        flag("bold", f.bold);
        flag("italic", f.italic);
        flag("underline", f.underline);
        flag("kerning", f.kerning);
        num("letterSpacing", f.letterSpacing);
        str("display", f.display);
    }
    if (paragraphs) {
        str("align", f.align);
        num("leftMargin", f.leftMargin);
        num("rightMargin", f.rightMargin);
        num("indent", f.indent);
        num("leading", f.leading);
        num("blockIndent", f.blockIndent);
        if (Value t = fmtGet(o, "tabStops"); t.isObject() && t.o->cls == ObjClass::Array) {
            f.tabStops.clear();
            for (const auto& e : t.o->elems) {
                if (f.tabStops.size() >= 1000) break;
                f.tabStops.push_back(vm.toNumber(e));
            }
        }
        flag("bullet", f.bullet);
    }
}

// Calls fn on the format of every character in [begin, end).
template <class Fn>
void forRange(RichText& t, size_t begin, size_t end, Fn fn) {
    end = std::min(end, t.chars.size());
    if (begin >= end) return;
    std::vector<RichText::Run> out;
    size_t at = 0;
    for (auto& r : t.runs) {
        const size_t r0 = at, r1 = at + r.length;
        at = r1;
        const size_t c0 = std::clamp(begin, r0, r1), c1 = std::clamp(end, r0, r1);
        if (c0 > r0) out.push_back({c0 - r0, r.format});
        if (c1 > c0) {
            out.push_back({c1 - c0, r.format});
            fn(out.back().format);
        }
        if (r1 > c1) out.push_back({r1 - c1, r.format});
    }
    t.runs = std::move(out);
    render::normalizeRuns(t);
}

// The format of [begin, end) as one object: what differs along it is null.
Object* rangeFormat(Vm& vm, TextFields& tf, const RichText& t, size_t begin, size_t end) {
    end = std::min(end, t.chars.size());
    Object* o = nullptr;
    const FieldFormat* first = nullptr;
    size_t at = 0;
    for (const auto& r : t.runs) {
        const size_t r0 = at, r1 = at + r.length;
        at = r1;
        if (r1 <= begin || r0 >= end) continue;
        const FieldFormat& f = r.format;
        if (!first) {
            first = &f;
            o = formatObject(vm, tf, f);
            continue;
        }
        const FieldFormat& a = *first;
        auto differs = [&](const char* name, bool d) {
            if (d) fmtStore(o, name, Value::null());
        };
        differs("font", a.font != f.font);
        differs("size", a.size != f.size);
        differs("color", a.color != f.color);
        differs("url", a.url != f.url);
        differs("target", a.target != f.target);
        differs("bold", a.bold != f.bold);
        differs("italic", a.italic != f.italic);
        differs("underline", a.underline != f.underline);
        differs("align", a.align != f.align);
        differs("leftMargin", a.leftMargin != f.leftMargin);
        differs("rightMargin", a.rightMargin != f.rightMargin);
        differs("indent", a.indent != f.indent);
        differs("leading", a.leading != f.leading);
        differs("blockIndent", a.blockIndent != f.blockIndent);
        differs("tabStops", a.tabStops != f.tabStops);
        differs("bullet", a.bullet != f.bullet);
        differs("kerning", a.kerning != f.kerning);
        differs("letterSpacing", a.letterSpacing != f.letterSpacing);
    }
    if (!o) {
        o = makeFormat(vm, tf);
        for (const auto& p : kFmtProps) fmtStore(o, p.name, Value::null());
        fmtStore(o, "display", Value("block"));
    }
    return o;
}

// The [begin, end) of a getTextFormat/setTextFormat call's index arguments (n of them).
std::pair<size_t, size_t> indexRange(Vm& vm, Args& a, size_t n, size_t length) {
    auto index = [&](size_t i) {
        const double d = vm.toNumber(a[i]);
        if (std::isnan(d) || d < 0) return size_t(0);
        return static_cast<size_t>(std::min(d, double(length)));
    };
    if (n == 0) return {0, length};
    const size_t b = index(0);
    // One index names one character; one before the text names none.
    if (n == 1) {
        if (vm.toNumber(a[0]) < 0) return {0, 0};
        return {b, std::min(b + 1, length)};
    }
    return {b, index(1)};
}

// Most of a field's setters first ask an object for its primitive (calling its valueOf) and
// then convert the object itself; the text, HTML and colour setters do not.
const Value& primed(Vm& vm, const Value& v) {
    if (v.isObject()) vm.toPrimitive(v);
    return v;
}

void addAccessor(Vm& vm, Object* o, std::string_view name, NativeFn get, NativeFn set,
                 uint8_t flags = 0) {
    if (o->findOwn(vm.key(name))) return;  // a script's own comes first
    Property& p = o->setOwn(name, vm.key(name), Value(), flags);
    p.getter = vm.newMethod(std::move(get));
    p.setter = vm.newMethod(std::move(set));
}

}  // namespace

// ---------------------------------------------------------------- installation

void installTextBuiltins(Vm& vm) {
    auto tfs = std::make_shared<TextFields>(vm);
    vm.textFields = tfs;
    TextFields* reg = tfs.get();
    Object* g = vm.global;
    const int version = vm.version();

    // ---- TextFormat
    Object* fproto = vm.newObject();
    reg->formatProto = fproto;
    Object* fctor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            static const char* order[] = {"font",        "size",   "color",  "bold",  "italic",
                                          "underline",   "url",    "target", "align", "leftMargin",
                                          "rightMargin", "indent", "leading"};
            for (const auto& p : kFmtProps) fmtStore(self, p.name, Value::null());
            for (size_t i = 0; i < a.size() && i < 13; ++i) {
                for (const auto& p : kFmtProps)
                    if (std::string_view(p.name) == order[i])
                        fmtStore(self, p.name, convertFmt(vm, p.kind, a[i], Value::null(), true));
            }
            return {};
        },
        fproto);
    vm.defineValue(g, "TextFormat", fctor);
    for (const auto& prop : kFmtProps) {
        const char* name = prop.name;
        const FmtKind kind = prop.kind;
        // Kerning and letter spacing came with Flash 8.
        if (version < 8 &&
            (std::string_view(name) == "kerning" || std::string_view(name) == "letterSpacing"))
            continue;
        addAccessor(
            vm, fproto, name,
            [name](Vm&, Object* self, Args&) -> Value {
                Value v = fmtGet(self, name);
                return v;
            },
            [name, kind](Vm& vm, Object* self, Args& a) -> Value {
                if (!self) return {};
                const Value v = setterInput(vm, kind, arg(a, 0));
                fmtStore(self, name, convertFmt(vm, kind, v, fmtGet(self, name)));
                return {};
            });
    }
    vm.defineMethod(fproto, "getTextExtent", [](Vm& vm, Object* self, Args& a) -> Value {
        // An estimate from the format's size: the exact metrics need the text engine.
        const std::string s = vm.toString(arg(a, 0));
        if (a.size() > 1 && !a[1].isUndefined()) vm.toNumber(a[1]);  // the width is read
        Value sz = fmtGet(self, "size");
        const double size = sz.isNumber() ? sz.n : 12;
        const double w = std::round(utf8Length(s) * size * 0.5);
        // No text, no line: an empty string is no higher than it is wide.
        const double h = s.empty() ? 0 : std::round(size * 1.15);
        Object* r = vm.newObject();
        vm.set(r, "ascent", Value(std::round(size * 0.9)));
        vm.set(r, "descent", Value(std::round(size * 0.25)));
        vm.set(r, "width", Value(w));
        vm.set(r, "height", Value(h));
        vm.set(r, "textFieldWidth", Value(w + 4));
        vm.set(r, "textFieldHeight", Value(h + 4));
        return Value(r);
    });

    // ---- TextField
    Object* proto = vm.newObject();
    reg->proto = proto;
    Object* ctor = vm.newFunction(
        [reg](Vm&, Object* self, Args&) -> Value {
            if (self) reg->nativeProperties(self->proto);
            return {};
        },
        proto);
    vm.defineValue(g, "TextField", ctor);
    if (version >= 7) installStyleSheet(vm, ctor);
    vm.defineMethod(ctor, "getFontList", [](Vm& vm, Object*, Args&) -> Value {
        return Value(vm.newArray({Value("_sans"), Value("_serif"), Value("_typewriter"),
                                  Value("Times New Roman"), Value("Arial")}));
    });

    // A field's properties go on the prototype of the first field made from it.
    reg->fieldProperties = [reg, version](Vm& vm, Object* proto) {
        using Getter = std::function<Value(Vm&, TextFieldHost&)>;
        using Setter = std::function<void(Vm&, TextFieldHost&, const Value&)>;
        auto prop = [&](const char* name, Getter get, Setter set) {
            addAccessor(
                vm, proto, name,
                [get](Vm& vm, Object* self, Args&) -> Value {
                    TextFieldHost* f = textFieldOf(self);
                    return f ? get(vm, *f) : Value();
                },
                [set](Vm& vm, Object* self, Args& a) -> Value {
                    TextFieldHost* f = textFieldOf(self);
                    if (f && set) {
                        set(vm, *f, arg(a, 0));
                        f->changed();  // what the view holds of the field may differ now
                        f->publish();
                    }
                    return {};
                });
        };
        auto flagProp = [&](const char* name, bool format::EditText::*member, bool invert = false) {
            prop(
                name,
                [member, invert](Vm&, TextFieldHost& f) {
                    return Value((f.def.*member) != invert);
                },
                [member, invert](Vm& vm, TextFieldHost& f, const Value& v) {
                    f.def.*member = vm.toBoolean(primed(vm, v)) != invert;
                    f.changed();
                });
        };
        // Inserted in reverse: for..in lists the newest first.
        if (version >= 8) {
            static const char* const kGrid[] = {"none", "pixel", "subpixel"};
            prop(
                "gridFitType",
                [](Vm&, TextFieldHost& f) { return Value(kGrid[std::clamp(f.def.gridFit, 0, 2)]); },
                [](Vm& vm, TextFieldHost& f, const Value& v) {
                    const std::string s = vm.toString(v);
                    for (int i = 0; i < 3; ++i)
                        if (s == kGrid[i]) f.def.gridFit = i;
                });
            prop(
                "antiAliasType",
                [](Vm&, TextFieldHost& f) {
                    return Value(f.def.antiAlias ? "advanced" : "normal");
                },
                [](Vm& vm, TextFieldHost& f, const Value& v) {
                    const std::string s = vm.toString(v);
                    if (s == "normal") f.def.antiAlias = 0;
                    if (s == "advanced") f.def.antiAlias = 1;
                });
            prop(
                "thickness", [](Vm&, TextFieldHost& f) { return Value(double(f.def.thickness)); },
                [](Vm& vm, TextFieldHost& f, const Value& v) {
                    f.def.thickness = static_cast<float>(vm.toNumber(v));
                });
            prop(
                "sharpness", [](Vm&, TextFieldHost& f) { return Value(double(f.def.sharpness)); },
                [](Vm& vm, TextFieldHost& f, const Value& v) {
                    f.def.sharpness = static_cast<float>(vm.toNumber(v));
                });
            prop(
                "filters", [](Vm& vm, TextFieldHost&) { return Value(vm.newArray()); },
                [](Vm&, TextFieldHost&, const Value&) {});
        } else {
            for (const char* n :
                 {"gridFitType", "antiAliasType", "thickness", "sharpness", "filters"})
                proto->setOwn(n, vm.key(n), Value(), 0);
        }
        prop(
            "scroll", [](Vm&, TextFieldHost& f) { return Value(f.scrollLine()); },
            [](Vm& vm, TextFieldHost& f, const Value& v) { f.setScroll(vm.toNumber(v)); });
        prop(
            "maxscroll", [](Vm&, TextFieldHost& f) { return Value(f.maxScroll()); },
            [](Vm&, TextFieldHost&, const Value&) {});
        auto colorProp = [&](const char* name, uint32_t TextFieldHost::*member) {
            prop(
                name, [member](Vm&, TextFieldHost& f) { return Value(double(f.*member)); },
                [member](Vm& vm, TextFieldHost& f, const Value& v) {
                    f.*member = toUint32(vm.toNumber(v)) & 0xffffff;
                    f.changed();
                });
        };
        colorProp("borderColor", &TextFieldHost::borderColor);
        colorProp("backgroundColor", &TextFieldHost::backgroundColor);
        prop(
            "textColor", [](Vm&, TextFieldHost& f) { return Value(double(f.newFmt.color)); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                const uint32_t c = toUint32(vm.toNumber(v)) & 0xffffff;
                f.newFmt.color = c;
                forRange(f.content, 0, f.content.chars.size(),
                         [&](FieldFormat& x) { x.color = c; });
                f.changed();
            });
        prop(
            "tabIndex", [](Vm&, TextFieldHost& f) { return f.tabIndex; },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                // Fields keep it as an unsigned 32-bit number.
                f.tabIndex = v.isUndefined() ? v : Value(double(toUint32(vm.toNumber(v))));
            });
        prop(
            "autoSize", [](Vm&, TextFieldHost& f) { return Value(f.autoSize); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                if (primed(vm, v).isBool()) {
                    f.autoSize = v.b ? "left" : "none";
                } else {
                    const std::string s = lower(vm.toString(v));
                    f.autoSize = (s == "left" || s == "right" || s == "center") ? s : "none";
                }
                f.changed();
            });
        prop(
            "text",
            [](Vm&, TextFieldHost& f) {
                f.pullVariable(false);
                return Value(f.text());
            },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                if (f.styleSheet)
                    f.setHtmlText(vm.toString(v));
                else
                    f.setText(vm.toString(v));
                f.pushVariable();
            });
        prop(
            "type",
            [](Vm&, TextFieldHost& f) { return Value(f.def.readOnly ? "dynamic" : "input"); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                const std::string s = lower(vm.toString(primed(vm, v)));
                if (s == "input") f.def.readOnly = false;
                if (s == "dynamic") f.def.readOnly = true;
            });
        prop(
            "htmlText",
            [](Vm&, TextFieldHost& f) {
                f.pullVariable(false);
                return Value(f.htmlText());
            },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                f.setHtmlText(vm.toString(v));
                f.pushVariable();
            });
        prop(
            "variable",
            [](Vm&, TextFieldHost& f) {
                return f.def.variableName.empty() ? Value::null() : Value(f.def.variableName);
            },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                f.def.variableName = v.isNullish() ? std::string() : vm.toString(primed(vm, v));
                f.pullVariable(true);
            });
        prop(
            "hscroll",
            [](Vm&, TextFieldHost& f) {
                return Value(f.hscroll > 0 ? std::min(f.hscroll, f.maxHScroll()) : 0);
            },
            [](Vm& vm, TextFieldHost& f, const Value& v) { f.setHScroll(vm.toNumber(v)); });
        prop(
            "maxhscroll", [](Vm&, TextFieldHost& f) { return Value(f.maxHScroll()); },
            [](Vm&, TextFieldHost&, const Value&) {});
        prop(
            "maxChars",
            [](Vm&, TextFieldHost& f) { return f.maxChars ? Value(*f.maxChars) : Value::null(); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                // Kept as a 32-bit integer; none is 0.
                const int32_t n = toInt32(vm.toNumber(primed(vm, v)));
                if (n == 0)
                    f.maxChars.reset();
                else
                    f.maxChars = n;
            });
        flagProp("embedFonts", &format::EditText::useOutlines);
        prop(
            "html", [](Vm&, TextFieldHost& f) { return Value(f.def.html); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                const bool html = vm.toBoolean(primed(vm, v));
                // Turning HTML off leaves new text aligned left.
                if (f.def.html && !html) f.newFmt.align = "left";
                f.def.html = html;
                f.changed();
            });
        flagProp("border", &format::EditText::border);
        prop(
            "background", [](Vm&, TextFieldHost& f) { return Value(f.background); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                f.background = vm.toBoolean(primed(vm, v));
                f.changed();
            });
        flagProp("wordWrap", &format::EditText::wordWrap);
        flagProp("password", &format::EditText::password);
        flagProp("multiline", &format::EditText::multiline);
        flagProp("selectable", &format::EditText::noSelect, true);
        prop(
            "length", [](Vm&, TextFieldHost& f) { return Value(double(f.content.chars.size())); },
            [](Vm&, TextFieldHost&, const Value&) {});
        prop(
            "bottomScroll", [](Vm&, TextFieldHost& f) { return Value(f.bottomScroll()); },
            [](Vm&, TextFieldHost&, const Value&) {});
        prop(
            "textWidth",
            [](Vm&, TextFieldHost& f) { return Value(std::floor(f.extent().textWidth)); },
            [](Vm&, TextFieldHost&, const Value&) {});
        prop(
            "textHeight",
            [](Vm&, TextFieldHost& f) { return Value(std::floor(f.extent().height)); },
            [](Vm&, TextFieldHost&, const Value&) {});
        prop(
            "restrict",
            [](Vm&, TextFieldHost& f) { return f.restrict ? Value(*f.restrict) : Value::null(); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                // An empty restriction given to a field without one leaves it none.
                if (v.isNullish()) {
                    f.restrict.reset();
                    return;
                }
                const std::string r = vm.toString(primed(vm, v));
                if (!r.empty() || f.restrict) f.restrict = r;
            });
        prop(
            "condenseWhite", [](Vm&, TextFieldHost& f) { return Value(f.condenseWhite); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                f.condenseWhite = vm.toBoolean(primed(vm, v));
            });
        prop(
            "mouseWheelEnabled", [](Vm&, TextFieldHost& f) { return Value(f.mouseWheelEnabled); },
            [](Vm& vm, TextFieldHost& f, const Value& v) {
                f.mouseWheelEnabled = vm.toBoolean(primed(vm, v));
            });
        prop(
            "styleSheet",
            [](Vm&, TextFieldHost& f) { return f.styleSheet ? Value(f.styleSheet) : Value(); },
            [reg](Vm& vm, TextFieldHost& f, const Value& v) {
                // Any object but a clip is taken; anything else removes the sheet.
                Object* sheet = primed(vm, v).isObject() && v.o->cls != ObjClass::MovieClip &&
                                        v.o->cls != ObjClass::TextField
                                    ? v.o
                                    : nullptr;
                f.styleSheet = sheet;
                fmtStore(reg->objectFor(&f), "styleSheet", sheet ? Value(sheet) : Value());
                if (!sheet) {
                    f.styledHtml.reset();
                } else if (f.styledHtml) {
                    // The HTML given before is styled again by the new rules.
                    const std::string html = *f.styledHtml;
                    f.setHtmlText(html);
                }
                f.changed();
            });
    };

    vm.defineMethod(proto, "getDepth", [](Vm&, Object* self, Args&) -> Value {
        TextFieldHost* f = textFieldOf(self);
        return f ? Value(f->depth() - 16384) : Value();
    });
    vm.defineMethod(proto, "removeTextField", [reg](Vm&, Object* self, Args&) -> Value {
        if (TextFieldHost* f = textFieldOf(self)) reg->remove(f);
        return {};
    });
    vm.defineMethod(proto, "getTextFormat", [reg](Vm& vm, Object* self, Args& a) -> Value {
        TextFieldHost* f = textFieldOf(self);
        if (!f) return {};
        const auto [b, e] =
            indexRange(vm, a, std::min<size_t>(a.size(), 2), f->content.chars.size());
        return Value(rangeFormat(vm, *reg, f->content, b, e));
    });
    vm.defineMethod(proto, "getNewTextFormat", [reg](Vm& vm, Object* self, Args&) -> Value {
        TextFieldHost* f = textFieldOf(self);
        return f ? Value(formatObject(vm, *reg, f->newFmt)) : Value();
    });
    vm.defineMethod(proto, "setTextFormat", [](Vm& vm, Object* self, Args& a) -> Value {
        TextFieldHost* f = textFieldOf(self);
        if (!f || a.empty()) return {};
        const Value fv = a[std::min<size_t>(a.size(), 3) - 1];
        if (!fv.isObject()) return {};
        auto [b, e] = indexRange(vm, a, std::min<size_t>(a.size(), 3) - 1, f->content.chars.size());
        forRange(f->content, b, e, [&](FieldFormat& x) { applyFormat(vm, fv, x); });
        f->changed();
        f->publish();
        return {};
    });
    vm.defineMethod(proto, "setNewTextFormat", [](Vm& vm, Object* self, Args& a) -> Value {
        TextFieldHost* f = textFieldOf(self);
        if (f) applyFormat(vm, arg(a, 0), f->newFmt);
        return {};
    });
    vm.defineMethod(proto, "replaceSel", [](Vm& vm, Object* self, Args& a) -> Value {
        TextFieldHost* f = textFieldOf(self);
        if (!f) return {};
        // The focused field's selection, the start of any other's text.
        const auto [b, e] = replaceRangeOf(vm, self, f->content.chars.size());
        const std::u32string s = toU32(vm.toString(arg(a, 0)));
        render::replaceRange(f->content, b, e, s, render::formatAt(f->content, b, f->newFmt));
        caretAfterReplace(vm, self, b + s.size());
        f->changed();
        f->publish();
        return {};
    });
    if (version >= 7)
        vm.defineMethod(proto, "replaceText", [](Vm& vm, Object* self, Args& a) -> Value {
            TextFieldHost* f = textFieldOf(self);
            if (!f || a.size() < 3) return {};
            const double b = vm.toNumber(a[0]), e = vm.toNumber(a[1]);
            if (std::isnan(b) || std::isnan(e) || b < 0 || e < b) return {};
            const size_t n = f->content.chars.size();
            const size_t bi = static_cast<size_t>(std::min(b, double(n)));
            const size_t ei = static_cast<size_t>(std::min(e, double(n)));
            const FieldFormat fmt = render::formatAt(f->content, bi, f->newFmt);
            render::replaceRange(f->content, bi, ei, toU32(toCr(vm.toString(a[2]))), fmt);
            f->changed();
            f->publish();
            return {};
        });
    // Every field broadcasts onChanged/onScroller to its listeners, itself first.
    if (Value bc = vm.get(g, "AsBroadcaster"); bc.isObject())
        initBroadcaster(vm, proto, bc.o, false);

    // ---- MovieClip.createTextField, getTextSnapshot
    vm.defineMethod(vm.clipProto, "createTextField", [reg](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || self->cls != ObjClass::MovieClip || !self->clip || a.size() < 6) return {};
        // Whole pixels, as 32-bit integers.
        auto n = [&](size_t i) { return double(toInt32(vm.toNumber(a[i]))); };
        const std::string name = vm.toString(a[0]);
        const int depth = toInt32(vm.toNumber(a[1]));
        const double x = n(2), y = n(3), w = n(4), h = n(5);
        TextFieldHost* f = reg->create(self->clip, name, depth, x, y, w, h);
        if (!f) return {};
        Object* o = reg->objectFor(f);
        return vm.version() >= 8 ? Value(o) : Value();
    });

    installTextSnapshot(vm, *reg);
}

}  // namespace swf::avm1
