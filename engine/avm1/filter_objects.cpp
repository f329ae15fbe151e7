// flash.filters: the filter classes scripts make. Each keeps its settings natively, read and
// written through accessors that convert and clamp as Flash does; a script subclass gets them
// once it calls super().

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "engine/avm1/display_props.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/format/filter.h"
#include "engine/runtime/display_list.h"

namespace swf::avm1 {

namespace {

enum class Kind : uint8_t { Number, Int, Bool, Color, Alpha, Text, Numbers, Point, Bitmap };

struct FieldDef {
    const char* name;
    Kind kind;
    double def = 0;
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    const char* text = "";
};

struct ClassDef {
    const char* name;
    std::vector<FieldDef> fields;  // in constructor argument order
};

struct FilterState : NativeData {
    const ClassDef* cls = nullptr;
    std::vector<Value> values;
};

const std::vector<ClassDef>& classes() {
    static const std::vector<ClassDef> defs = [] {
        const FieldDef blurX{"blurX", Kind::Number, 4, 0, 255};
        const FieldDef blurY{"blurY", Kind::Number, 4, 0, 255};
        const FieldDef quality{"quality", Kind::Int, 1, 0, 15};
        const FieldDef strength{"strength", Kind::Number, 1, 0, 255};
        const FieldDef distance{"distance", Kind::Number, 4};
        const FieldDef angle{"angle", Kind::Number, 45};
        const FieldDef knockout{"knockout", Kind::Bool, 0};
        const FieldDef inner{"inner", Kind::Bool, 0};
        const FieldDef type{"type", Kind::Text, 0, 0, 0, "inner"};
        auto with = [](FieldDef f, double def) {
            f.def = def;
            return f;
        };
        std::vector<ClassDef> d;
        d.push_back({"BlurFilter", {blurX, blurY, quality}});
        d.push_back({"DropShadowFilter",
                     {distance,
                      angle,
                      {"color", Kind::Color, 0},
                      {"alpha", Kind::Alpha, 1, 0, 1},
                      blurX,
                      blurY,
                      strength,
                      quality,
                      inner,
                      knockout,
                      {"hideObject", Kind::Bool, 0}}});
        d.push_back({"GlowFilter",
                     {{"color", Kind::Color, 0xFF0000},
                      {"alpha", Kind::Alpha, 1, 0, 1},
                      with(blurX, 6),
                      with(blurY, 6),
                      with(strength, 2),
                      quality,
                      inner,
                      knockout}});
        d.push_back({"BevelFilter",
                     {distance,
                      angle,
                      {"highlightColor", Kind::Color, 0xFFFFFF},
                      {"highlightAlpha", Kind::Alpha, 1, 0, 1},
                      {"shadowColor", Kind::Color, 0},
                      {"shadowAlpha", Kind::Alpha, 1, 0, 1},
                      blurX,
                      blurY,
                      strength,
                      quality,
                      type,
                      knockout}});
        for (const char* n : {"GradientGlowFilter", "GradientBevelFilter"})
            d.push_back({n,
                         {distance,
                          angle,
                          {"colors", Kind::Numbers},
                          {"alphas", Kind::Numbers},
                          {"ratios", Kind::Numbers},
                          blurX,
                          blurY,
                          strength,
                          quality,
                          type,
                          knockout}});
        d.push_back({"ColorMatrixFilter", {{"matrix", Kind::Numbers}}});
        d.push_back({"ConvolutionFilter",
                     {{"matrixX", Kind::Int, 0, 0, format::kMaxKernelSide},
                      {"matrixY", Kind::Int, 0, 0, format::kMaxKernelSide},
                      {"matrix", Kind::Numbers},
                      {"divisor", Kind::Number, 1},
                      {"bias", Kind::Number, 0},
                      {"preserveAlpha", Kind::Bool, 1},
                      {"clamp", Kind::Bool, 1},
                      {"color", Kind::Color, 0},
                      {"alpha", Kind::Alpha, 0, 0, 1}}});
        d.push_back({"DisplacementMapFilter",
                     {{"mapBitmap", Kind::Bitmap},
                      {"mapPoint", Kind::Point},
                      {"componentX", Kind::Int, 0},
                      {"componentY", Kind::Int, 0},
                      {"scaleX", Kind::Number, 0, -65535, 65535},
                      {"scaleY", Kind::Number, 0, -65535, 65535},
                      {"mode", Kind::Text, 0, 0, 0, "wrap"},
                      {"color", Kind::Color, 0},
                      {"alpha", Kind::Alpha, 0, 0, 1}}});
        return d;
    }();
    return defs;
}

Value defaultValue(Vm& vm, const ClassDef& cls, const FieldDef& f) {
    switch (f.kind) {
        case Kind::Bool:
            return Value(f.def != 0);
        case Kind::Text:
            return Value(f.text);
        case Kind::Numbers: {
            std::vector<Value> elems;
            // The colour matrix starts as the identity.
            if (std::string_view(cls.name) == "ColorMatrixFilter")
                for (int i = 0; i < 20; ++i) elems.push_back(Value(i % 6 == 0 ? 1 : 0));
            return Value(vm.newArray(std::move(elems)));
        }
        case Kind::Point: {
            Object* p = vm.newObject();
            vm.set(p, "x", Value(0));
            vm.set(p, "y", Value(0));
            return Value(p);
        }
        case Kind::Bitmap:
            return {};
        default:
            return Value(f.def);
    }
}

// A conversion that threw part way: what to keep, and the error to pass on.
struct PartialValue {
    Value value;
    Value error;
};

// Flash's double -> int: NaN and what does not fit become the most negative int.
int32_t toIntOrMin(double d) {
    if (std::isnan(d) || d < -2147483648.0 || d >= 2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(d);
}

// The stored form of v for field f; the current value when v cannot be used.
Value coerce(Vm& vm, const FieldDef& f, const Value& v, const Value& current) {
    switch (f.kind) {
        case Kind::Number: {
            const double d = vm.toNumber(v);
            if (std::isnan(d)) return Value(std::max(f.lo, 0.0));
            return Value(std::clamp(d, f.lo, f.hi));
        }
        case Kind::Int: {
            const double d = vm.toNumber(v);
            if (!std::isfinite(d)) return Value(std::max(f.lo, 0.0));
            return Value(std::clamp(std::trunc(d), f.lo, f.hi));
        }
        case Kind::Alpha: {
            const double d = vm.toNumber(v);
            return Value(std::isnan(d) ? 0.0 : std::clamp(d, f.lo, f.hi));
        }
        case Kind::Bool:
            return Value(vm.toBoolean(v));
        case Kind::Color:
            return Value(static_cast<double>(toUint32(vm.toNumber(v)) & 0xFFFFFF));
        case Kind::Text: {
            const std::string s = vm.toString(v);
            return s.empty() ? current : Value(s);
        }
        case Kind::Numbers: {
            if (!v.isObject() || v.o->cls != ObjClass::Array) return current;
            std::vector<Value> elems;
            const size_t n = std::min<size_t>(v.o->elems.size(), 4096);
            for (size_t i = 0; i < n; ++i) {
                const double d = vm.toNumber(v.o->elems[i]);
                elems.push_back(Value(std::isnan(d) ? 0.0 : d));
            }
            return Value(vm.newArray(std::move(elems)));
        }
        case Kind::Bitmap:
            return v.isObject() ? v : current;
        case Kind::Point: {
            // Both coordinates are read even when one throws; the first error still goes on.
            if (!v.isObject()) return defaultValue(vm, {}, f);
            const bool hasX = vm.hasProperty(v.o, "x"), hasY = vm.hasProperty(v.o, "y");
            std::optional<ScriptThrow> err;
            auto read = [&](const char* n) {
                try {
                    return static_cast<double>(toIntOrMin(vm.toNumber(vm.get(v.o, n))));
                } catch (ScriptThrow& t) {
                    if (!err) err = t;
                    return static_cast<double>(std::numeric_limits<int32_t>::min());
                }
            };
            const double x = read("x"), y = read("y");
            Value out = defaultValue(vm, {}, f);
            if (hasX && hasY) {
                vm.set(out.o, "x", Value(x));
                vm.set(out.o, "y", Value(y));
            }
            // The point is taken before the error goes on.
            if (err) throw PartialValue{out, err->value};
            return out;
        }
    }
    return current;
}

// Objects a filter holds (arrays, points, bitmaps) live in hidden properties of the filter, where
// the collector sees them; numbers and strings stay in the native state.
bool heldInObject(Kind k) { return k == Kind::Numbers || k == Kind::Point || k == Kind::Bitmap; }

std::string heldKey(const FieldDef& f) { return std::string("\001filter.") + f.name; }

Value load(Vm& vm, Object* self, FilterState& s, size_t i) {
    const FieldDef& f = s.cls->fields[i];
    if (!heldInObject(f.kind)) return s.values[i];
    Property* p = self->findAny(vm.key(heldKey(f)));
    return p ? p->value : Value();
}

void keep(Vm& vm, Object* self, FilterState& s, size_t i, const Value& v) {
    const FieldDef& f = s.cls->fields[i];
    if (!heldInObject(f.kind)) {
        s.values[i] = v;
        return;
    }
    const std::string k = heldKey(f);
    self->setOwn(k, vm.key(k), v, DontEnum).hidden = true;
}

// cls null: a filter of any class.
FilterState* stateOf(Object* o, const ClassDef* cls) {
    if (!o || !o->native) return nullptr;
    auto* s = dynamic_cast<FilterState*>(o->native.get());
    return s && (s->cls == cls || !cls) ? s : nullptr;
}

// A filter object as the renderer draws it; nullopt for one it cannot draw (displacement).
std::optional<format::Filter> drawnFilter(Vm& vm, Object* self, FilterState& s) {
    auto value = [&](std::string_view name) -> Value {
        for (size_t i = 0; i < s.cls->fields.size(); ++i)
            if (name == s.cls->fields[i].name) return load(vm, self, s, i);
        return {};
    };
    auto num = [&](std::string_view name) {
        const double d = vm.toNumber(value(name));
        return std::isfinite(d) ? d : 0.0;
    };
    auto colour = [&](std::string_view c, std::string_view a) {
        const auto rgb = uint32_t(num(c));
        return format::Rgba{uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb),
                            uint8_t(std::lround(std::clamp(num(a), 0.0, 1.0) * 255))};
    };
    auto numbers = [&](std::string_view name) {
        std::vector<double> out;
        if (const Value v = value(name); v.isObject())
            for (const Value& e : v.o->elems) out.push_back(vm.toNumber(e));
        return out;
    };
    const std::string_view cls = s.cls->name;
    format::Filter f;
    f.blurX = num("blurX");
    f.blurY = num("blurY");
    f.passes = std::max(1, int(num("quality")));
    f.strength = num("strength");
    f.distance = num("distance");
    f.angle = num("angle") * M_PI / 180;  // scripts give degrees, the file radians
    f.knockout = vm.toBoolean(value("knockout"));
    f.inner = vm.toBoolean(value("inner"));
    const std::string type = vm.toString(value("type"));
    if (cls == "BlurFilter") {
        f.type = format::Filter::Blur;
    } else if (cls == "DropShadowFilter" || cls == "GlowFilter") {
        f.type = cls == "GlowFilter" ? format::Filter::Glow : format::Filter::DropShadow;
        f.color = colour("color", "alpha");
        f.compositeSource = !vm.toBoolean(value("hideObject"));
    } else if (cls == "BevelFilter" || cls == "GradientBevelFilter" ||
               cls == "GradientGlowFilter") {
        f.type = cls == "BevelFilter"       ? format::Filter::Bevel
                 : cls == "GradientGlowFilter" ? format::Filter::GradientGlow
                                               : format::Filter::GradientBevel;
        f.color = colour("shadowColor", "shadowAlpha");
        f.highlight = colour("highlightColor", "highlightAlpha");
        f.inner = type == "inner";
        f.onTop = type == "full";
        const auto colours = numbers("colors"), alphas = numbers("alphas"), ratios = numbers("ratios");
        for (size_t i = 0; i < colours.size() && i < alphas.size() && i < ratios.size() && i < 16;
             ++i) {
            const auto rgb = uint32_t(std::isfinite(colours[i]) ? colours[i] : 0);
            f.gradientColors.push_back(
                {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb),
                 uint8_t(std::lround(std::clamp(alphas[i], 0.0, 1.0) * 255))});
            f.gradientRatios.push_back(uint8_t(std::clamp(ratios[i], 0.0, 255.0)));
        }
    } else if (cls == "ColorMatrixFilter") {
        f.type = format::Filter::ColorMatrix;
        const auto m = numbers("matrix");
        for (size_t i = 0; i < f.colorMatrix.size() && i < m.size(); ++i)
            f.colorMatrix[i] = std::isfinite(m[i]) ? float(m[i]) : 0.0f;
        f.colorMatrix = m.size() == 20 ? f.colorMatrix : std::array<float, 20>{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    } else if (cls == "ConvolutionFilter") {
        f.type = format::Filter::Convolution;
        f.matrixX = int(num("matrixX"));
        f.matrixY = int(num("matrixY"));
        for (double d : numbers("matrix")) f.matrix.push_back(std::isfinite(d) ? float(d) : 0.0f);
        f.matrix.resize(size_t(f.matrixX) * size_t(f.matrixY), 0.0f);
        f.divisor = float(num("divisor"));
        f.bias = float(num("bias"));
        f.preserveAlpha = vm.toBoolean(value("preserveAlpha"));
        f.clamp = vm.toBoolean(value("clamp"));
        f.defaultColor = colour("color", "alpha");
    } else {
        return std::nullopt;
    }
    return f;
}

DisplayObject* placementOf(Object* self) {
    if (!self || self->cls != ObjClass::MovieClip || !self->clip) return nullptr;
    if (auto* r = dynamic_cast<ScriptRunner*>(self->clip)) return r->rootPlacement();
    auto* s = dynamic_cast<SpriteClip*>(self->clip);
    return s ? s->object() : nullptr;
}

// Flash 8's display settings of a clip: filters, blendMode and cacheAsBitmap, read from its
// placement and set on it, so what a script sets is drawn.
void installClipDisplaySettings(Vm& vm) {
    auto accessor = [&vm](std::string_view name, NativeFn get, NativeFn set) {
        Property& p = vm.clipProto->setOwn(name, vm.key(name), Value(), DontEnum);
        p.getter = vm.newMethod(std::move(get));
        p.setter = vm.newMethod(std::move(set));
        vm.addFlags(vm.clipProto, name, From8);
    };
    accessor(
        "filters",
        [](Vm& vm, Object* self, Args&) -> Value {
            DisplayObject* o = placementOf(self);
            if (!o) return {};
            // Copies of what the script gave, or of the placement's own.
            Property* kept = self->findAny("\001filters");
            if (kept && kept->value.isObject()) {
                std::vector<Value> out;
                for (const Value& f : kept->value.o->elems)
                    out.push_back(f.isObject() ? vm.callMethod(f, "clone", {}) : f);
                return Value(vm.newArray(std::move(out)));
            }
            return Value(vm.newArray());
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o = placementOf(self);
            const Value& v = arg(a, 0);
            if (!o || !v.isObject() || v.o->cls != ObjClass::Array) return {};
            std::vector<format::Filter> drawn;
            std::vector<Value> kept;
            for (const Value& e : v.o->elems) {
                FilterState* s = e.isObject() ? stateOf(e.o, nullptr) : nullptr;
                if (!s || kept.size() >= size_t(format::kMaxFilters)) continue;
                if (auto f = drawnFilter(vm, e.o, *s)) drawn.push_back(*f);
                kept.push_back(vm.callMethod(e, "clone", {}));
            }
            o->filters = std::move(drawn);
            self->setOwn("\001filters", "\001filters", Value(vm.newArray(std::move(kept))), DontEnum)
                .hidden = true;
            return {};
        });
    accessor(
        "blendMode",
        [](Vm&, Object* self, Args&) -> Value {
            DisplayObject* o = placementOf(self);
            if (!o) return {};
            return Value(kBlendModeNames[o->blendMode < std::size(kBlendModeNames) ? o->blendMode : 0]);
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o = placementOf(self);
            const Value& v = arg(a, 0);
            if (!o) return {};
            // A mode by its number (1 to 14) or its name; anything else leaves it.
            if (v.isNumber()) {
                if (v.n >= 1 && v.n <= 14) o->blendMode = uint8_t(v.n);
                return {};
            }
            const std::string name = vm.toString(v);
            for (size_t i = 1; i < std::size(kBlendModeNames); ++i)
                if (name == kBlendModeNames[i]) {
                    o->blendMode = uint8_t(i);
                    break;
                }
            return {};
        });
    accessor(
        "cacheAsBitmap",
        [](Vm&, Object* self, Args&) -> Value {
            DisplayObject* o = placementOf(self);
            return o ? Value(o->cacheAsBitmap) : Value();
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (DisplayObject* o = placementOf(self)) o->cacheAsBitmap = vm.toBoolean(arg(a, 0));
            return {};
        });
}

}  // namespace

void installFilterBuiltins(Vm& vm) {
    // The package is there in every version, out of sight of movies before 8.
    Property* flash = vm.global->findAny(vm.key("flash"));
    if (!flash || !flash->value.isObject()) return;
    Object* pkg = vm.newObject();
    vm.defineValue(flash->value.o, "filters", pkg);
    Value geom = vm.get(flash->value.o, "geom");
    Value pointCtor = geom.isObject() ? vm.get(geom.o, "Point") : Value();

    Object* baseProto = vm.newObject();
    Object* base = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, baseProto);
    vm.defineValue(pkg, "BitmapFilter", base, 0);
    // Each class's constructor, in the order of classes(): what clone() makes.
    auto ctors = std::make_shared<std::vector<Object*>>();

    for (const ClassDef& cls : classes()) {
        const ClassDef* c = &cls;
        auto init = [c](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            std::vector<Value> values;
            for (size_t i = 0; i < c->fields.size(); ++i) {
                const FieldDef& f = c->fields[i];
                Value def = defaultValue(vm, *c, f);
                try {
                    values.push_back(i < a.size() ? coerce(vm, f, a[i], def) : def);
                } catch (PartialValue& p) {
                    throw ScriptThrow{p.error};
                }
            }
            // A convolution given a colour but no alpha shows that colour fully.
            if (std::string_view(c->name) == "ConvolutionFilter" && a.size() == 8)
                values[8] = Value(1);
            // A second super() call converts its arguments but changes nothing.
            if (self->native) return {};
            auto state = std::make_unique<FilterState>();
            state->cls = c;
            state->values.resize(values.size());
            for (size_t i = 0; i < values.size(); ++i) keep(vm, self, *state, i, values[i]);
            self->native = std::move(state);
            return {};
        };
        Object* ctor = newSubclass(vm, base, init);
        Object* proto = vm.get(ctor, "prototype").o;
        // `new` leaves the link to the class in sight on a filter it makes.
        ctor->fn->construct = [init](Vm& vm, Object* self, Args& a) -> Value {
            if (Property* p = self ? self->findAny(vm.key("__constructor__")) : nullptr)
                p->setFlags(0, vm.version());
            return init(vm, self, a);
        };
        vm.defineValue(pkg, cls.name, ctor, 0);
        ctors->push_back(ctor);

        for (size_t i = 0; i < cls.fields.size(); ++i) {
            const FieldDef* f = &cls.fields[i];
            Property& p = proto->setOwn(f->name, vm.key(f->name), Value(), 0);
            p.getter = vm.newMethod([c, i, f, pointCtor](Vm& vm, Object* self, Args&) -> Value {
                FilterState* s = stateOf(self, c);
                if (!s) return {};
                const Value v = load(vm, self, *s, i);
                // Arrays and points go out as copies.
                if (f->kind == Kind::Numbers && v.isObject()) return Value(vm.newArray(v.o->elems));
                if (f->kind == Kind::Point && v.isObject())
                    return vm.construct(pointCtor, {vm.get(v.o, "x"), vm.get(v.o, "y")});
                return v;
            });
            p.setter = vm.newMethod([c, i, f](Vm& vm, Object* self, Args& a) -> Value {
                FilterState* s = stateOf(self, c);
                if (!s) return {};
                try {
                    keep(vm, self, *s, i, coerce(vm, *f, arg(a, 0), load(vm, self, *s, i)));
                } catch (PartialValue& p) {
                    keep(vm, self, *s, i, p.value);
                    throw ScriptThrow{p.error};
                }
                return {};
            });
        }
    }
    installClipDisplaySettings(vm);
    vm.defineMethod(baseProto, "clone", [ctors](Vm& vm, Object* self, Args&) -> Value {
        FilterState* s = stateOf(self, nullptr);
        if (!s) return {};
        Object* ctor = (*ctors)[static_cast<size_t>(s->cls - classes().data())];
        Value protoV = vm.get(ctor, "prototype");
        Object* out = vm.newObject(protoV.isObject() ? protoV.o : vm.objectProto);
        auto copy = std::make_unique<FilterState>();
        copy->cls = s->cls;
        copy->values.resize(s->values.size());
        for (size_t i = 0; i < s->values.size(); ++i) {
            Value v = load(vm, self, *s, i);
            if (v.isObject() && v.o->cls == ObjClass::Array) v = Value(vm.newArray(v.o->elems));
            keep(vm, out, *copy, i, v);
        }
        out->native = std::move(copy);
        return Value(out);
    });
}

}  // namespace swf::avm1
