// Button instances as script objects.

#include "engine/avm1/button_object.h"

#include <cmath>

#include "engine/avm1/display_props.h"
#include "engine/avm1/focus.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {
constexpr size_t kMaxButtons = 100000;
}

ButtonHost::ButtonHost(ScriptRunner& runner, ClipHost* parent, const DisplayObject& o,
                       std::string name)
    : runner_(runner),
      parent_(parent),
      depth_(o.depth),
      characterId_(o.characterId),
      placedAt_(o.placedAt),
      name_(std::move(name)) {}

bool ButtonHost::matches(const DisplayObject& o) const {
    return o.depth == depth_ && o.characterId == characterId_ && o.placedAt == placedAt_;
}

DisplayObject* ButtonHost::object() const {
    if (!parent_) return nullptr;
    DisplayList* l = runner_.listOf(parent_);
    if (!l) return nullptr;
    auto it = l->objects.find(depth_);
    if (it == l->objects.end() || !matches(it->second)) return nullptr;
    return &it->second;
}

std::optional<double> ButtonHost::property(int index) const {
    DisplayObject* o = object();
    return o ? displayProperty(*o, index) : std::nullopt;
}

void ButtonHost::setProperty(int index, double v) {
    if (DisplayObject* o = object(); o && !std::isnan(v)) setDisplayProperty(*o, index, v);
}

Buttons::Buttons(Vm& vm, ScriptRunner& runner) : vm_(vm), runner_(runner) {
    Value ctor = vm.get(vm.global, "Button");
    if (ctor.isObject()) {
        Value p = vm.get(ctor.o, "prototype");
        if (p.isObject()) proto = p.o;
    }
}

Buttons::~Buttons() {
    for (auto& [k, b] : live_)
        if (b->scriptObject) b->scriptObject->clip = nullptr;
}

Buttons::Live::iterator Buttons::letGo(Live::iterator it) {
    ButtonHost& b = *it->second;
    if (b.scriptObject) b.scriptObject->clip = nullptr;
    // The object may be collected from now on, and the parent freed.
    b.scriptObject = nullptr;
    b.forgetParent();
    gone_.push_back(std::move(it->second));
    return live_.erase(it);
}

void Buttons::parentGone(const ClipHost* parent) {
    for (auto it = live_.begin(); it != live_.end();)
        it = std::get<0>(it->first) == parent ? letGo(it) : std::next(it);
}

ButtonHost* Buttons::instanceFor(ClipHost* parent, const DisplayObject& o) {
    const auto key =
        std::make_tuple(static_cast<const ClipHost*>(parent), o.depth, o.characterId, o.placedAt);
    auto it = live_.find(key);
    if (it != live_.end()) return it->second.get();
    if (live_.size() + gone_.size() >= kMaxButtons) return nullptr;
    std::string name = o.name.empty() ? "instance" + std::to_string(++vm_.instanceNames) : o.name;
    auto b = std::make_unique<ButtonHost>(runner_, parent, o, std::move(name));
    Object* obj = vm_.newObject(proto ? proto : vm_.objectProto);
    obj->cls = ObjClass::TextField;  // a display object that is not a clip (see the header)
    obj->clip = b.get();
    b->scriptObject = obj;
    ButtonHost* raw = b.get();
    live_.emplace(key, std::move(b));
    return raw;
}

std::vector<ClipHost*> Buttons::childrenOf(ClipHost* parent) {
    std::vector<ClipHost*> out;
    DisplayList* l = parent ? runner_.listOf(parent) : nullptr;
    // Buttons of this parent that left its list are gone for scripts.
    for (auto it = live_.begin(); it != live_.end();) {
        it = std::get<0>(it->first) == parent && !it->second->object() ? letGo(it) : std::next(it);
    }
    if (!l) return out;
    const Movie& movie = runner_.movie();
    for (auto& [depth, o] : l->objects) {
        const Character* ch = movie.character(o.characterId);
        if (!ch || !std::holds_alternative<ButtonCharacter>(*ch)) continue;
        if (ButtonHost* b = instanceFor(parent, o)) out.push_back(b);
    }
    return out;
}

ButtonHost* Buttons::find(ClipHost* parent, const DisplayObject& o) {
    const Character* ch = runner_.movie().character(o.characterId);
    if (!ch || !std::holds_alternative<ButtonCharacter>(*ch)) return nullptr;
    return instanceFor(parent, o);
}

namespace {
Buttons* registry(Vm& vm) {
    if (!vm.input) return nullptr;
    if (!vm.input->buttons) {
        auto* runner = dynamic_cast<ScriptRunner*>(vm.root_);
        if (!runner) return nullptr;
        vm.input->buttons = std::make_shared<Buttons>(vm, *runner);
    }
    return vm.input->buttons.get();
}
}  // namespace

std::vector<ClipHost*> ButtonHost::children() const {
    return runner_.instancesOf(const_cast<ButtonHost*>(this));
}

std::vector<ClipHost*> buttonChildren(Vm& vm, ClipHost* parent) {
    Buttons* b = registry(vm);
    return b ? b->childrenOf(parent) : std::vector<ClipHost*>{};
}

void buttonParentGone(Vm& vm, const ClipHost* parent) {
    if (vm.input && vm.input->buttons) vm.input->buttons->parentGone(parent);
}

ButtonHost* buttonAt(Vm& vm, ClipHost* parent, const DisplayObject& o) {
    Buttons* b = registry(vm);
    return b ? b->find(parent, o) : nullptr;
}

ButtonHost* buttonOf(Object* o) {
    if (!o || o->cls != ObjClass::TextField || !o->clip) return nullptr;
    return dynamic_cast<ButtonHost*>(o->clip);
}

void installButtonBuiltins(Vm& vm) {
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, proto);
    vm.defineValue(vm.global, "Button", ctor);
    // Every member of Button.prototype is in sight of for..in and may be deleted.
    vm.defineValue(proto, "useHandCursor", Value(true), 0);
    vm.defineValue(proto, "enabled", Value(true), 0);
    installTabIndex(vm, proto, true);
    vm.defineMethod(
        proto, "getDepth",
        [](Vm&, Object* self, Args&) -> Value {
            ButtonHost* b = buttonOf(self);
            return b ? Value(b->depth() - 16384) : Value();
        },
        0);
    // Flash 8's display settings: read from the button's placement, undefined elsewhere.
    auto setting = [&vm, proto](std::string_view name, Value (*read)(Vm&, const DisplayObject&)) {
        Property& p = proto->setOwn(name, vm.key(name), Value(), 0);
        p.getter = vm.newMethod([read](Vm& vm, Object* self, Args&) -> Value {
            ButtonHost* b = buttonOf(self);
            DisplayObject* o = b ? b->object() : nullptr;
            return o ? read(vm, *o) : Value();
        });
        p.setter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return {}; });
    };
    setting("blendMode", [](Vm&, const DisplayObject& o) -> Value {
        return o.blendMode < std::size(kBlendModeNames) ? Value(kBlendModeNames[o.blendMode])
                                                        : Value("normal");
    });
    setting("cacheAsBitmap",
            [](Vm&, const DisplayObject& o) -> Value { return Value(o.cacheAsBitmap); });
    setting("filters", [](Vm& vm, const DisplayObject&) -> Value { return Value(vm.newArray()); });
    setting("scale9Grid", [](Vm&, const DisplayObject&) -> Value { return {}; });
}

}  // namespace swf::avm1
