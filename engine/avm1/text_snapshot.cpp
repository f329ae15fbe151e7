// TextSnapshot: the static text (DefineText) a clip shows directly, read as characters. A
// snapshot copies the glyphs when it is made; selections live on the snapshot.

#include <QChar>
#include <QPolygonF>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <variant>

#include "engine/avm1/object.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

// Bounds a hostile movie cannot push us past.
constexpr size_t kMaxSnapshotGlyphs = 1u << 20;

struct SnapGlyph {
    char32_t ch = 0;
    bool selected = false;
    bool lineStart = false;  // first glyph of a new line (not the first of all)
    int indexInRun = 0;
    uint16_t fontId = 0;
    std::string font;
    uint32_t color = 0;
    double height = 0;  // pixels
    QTransform matrix;  // glyph space (pixels, origin at the pen) -> clip space (pixels)
    double advance = 0, ascent = 0, descent = 0;  // pixels
    // The glyph's cell in the clip (pixels): corners 0..3 clockwise from the top left.
    QPointF corners[4];
};

struct Snapshot : NativeData {
    bool valid = false;
    std::vector<SnapGlyph> glyphs;
};

Snapshot* snapOf(Object* self) {
    if (!self || !self->native) return nullptr;
    return dynamic_cast<Snapshot*>(self->native.get());
}

// The snapshot behind self when it was made over a clip; null otherwise.
Snapshot* validSnap(Object* self) {
    Snapshot* s = snapOf(self);
    return s && s->valid ? s : nullptr;
}

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

void collect(const Movie& movie, const DisplayList& list, std::vector<SnapGlyph>& out) {
    for (const auto& [depth, obj] : list.objects) {
        const Character* ch = movie.character(obj.characterId);
        const auto* tc = ch ? std::get_if<TextCharacter>(ch) : nullptr;
        if (!tc) continue;
        const format::StaticText& text = tc->get();
        const QTransform place = toQt(text.matrix) * toQt(obj.matrix);
        bool firstRun = true;
        int32_t lastY = 0;
        for (const format::TextRun& run : text.runs) {
            const FontCharacter::Built* font = nullptr;
            if (const Character* fc = movie.character(run.fontId))
                if (const auto* f = std::get_if<FontCharacter>(fc)) font = &f->get();
            const double scale = font ? run.height / font->font.emUnits() : 0;
            double ascent = run.height * 0.8, descent = run.height * 0.2;
            if (font && font->font.hasLayout) {
                ascent = font->font.ascent * scale;
                descent = font->font.descent * scale;
            }
            const bool newLine = !firstRun && run.y != lastY;
            firstRun = false;
            lastY = run.y;
            double pen = run.x;
            int inRun = 0;
            for (const format::GlyphEntry& g : run.glyphs) {
                if (out.size() >= kMaxSnapshotGlyphs) return;
                SnapGlyph s;
                if (font && g.index < font->font.codes.size()) s.ch = font->font.codes[g.index];
                s.lineStart = newLine && inRun == 0;
                s.indexInRun = inRun++;
                s.fontId = run.fontId;
                if (font) s.font = font->font.name;
                s.color =
                    (uint32_t(run.color.r) << 16) | (uint32_t(run.color.g) << 8) | run.color.b;
                s.height = run.height / 20.0;
                s.advance = g.advance / 20.0;
                s.ascent = ascent / 20.0;
                s.descent = descent / 20.0;
                // Twips to pixels around the pen position.
                s.matrix = QTransform::fromTranslate(pen, run.y) * place *
                           QTransform::fromScale(1 / 20.0, 1 / 20.0);
                const QPointF local[4] = {{0, -ascent},
                                          {double(g.advance), -ascent},
                                          {double(g.advance), descent},
                                          {0, descent}};
                const QTransform toClip = QTransform::fromTranslate(pen, run.y) * place;
                for (int i = 0; i < 4; ++i) s.corners[i] = toClip.map(local[i]) / 20.0;
                out.push_back(std::move(s));
                pen += g.advance;
            }
        }
    }
}

// A script's index argument: NaN is 0, the rest truncated and kept inside [0, n].
size_t clampIndex(Vm& vm, const Value& v, size_t n) {
    const double d = vm.toNumber(v);
    if (std::isnan(d) || d <= 0) return 0;
    return d >= double(n) ? n : static_cast<size_t>(d);
}

// [start, end) as getText and friends read them: a range that ends at or before its start
// still covers the character at start.
std::pair<size_t, size_t> range(Vm& vm, const Value& a, const Value& b, size_t n) {
    const size_t s = clampIndex(vm, a, n);
    size_t e = clampIndex(vm, b, n);
    if (e <= s) e = std::min(s + 1, n);
    return {s, e};
}

std::string textOf(const Snapshot& s, size_t b, size_t e, bool lineEndings,
                   bool selectedOnly = false) {
    std::u32string out;
    for (size_t i = b; i < e && i < s.glyphs.size(); ++i) {
        const SnapGlyph& g = s.glyphs[i];
        if (selectedOnly && !g.selected) continue;
        if (lineEndings && g.lineStart && !out.empty()) out += U'\n';
        if (g.ch) out += g.ch;
    }
    return utf8Encode(out);
}

char32_t fold(char32_t c) { return c < 0x110000 ? QChar::toLower(static_cast<uint>(c)) : c; }

double distanceTo(const SnapGlyph& g, QPointF p) {
    QPolygonF cell;
    for (const QPointF& c : g.corners) cell << c;
    if (cell.containsPoint(p, Qt::OddEvenFill)) return 0;
    double best = INFINITY;
    for (int i = 0; i < 4; ++i) {
        const QPointF a = g.corners[i], b = g.corners[(i + 1) % 4];
        const QPointF d = b - a;
        const double len2 = d.x() * d.x() + d.y() * d.y();
        double t = len2 > 0 ? ((p - a).x() * d.x() + (p - a).y() * d.y()) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const QPointF q = a + d * t;
        best = std::min(best, std::hypot(p.x() - q.x(), p.y() - q.y()));
    }
    return best;
}

}  // namespace

void installTextSnapshot(Vm& vm, TextFields& reg) {
    Object* g = vm.global;
    TextFields* fields = &reg;
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, proto);
    ctor->fn->construct = [fields](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        auto snap = std::make_unique<Snapshot>();
        // Only a clip, given alone or with a false second argument, makes a working snapshot.
        const bool clip = !a.empty() && a[0].isObject() && a[0].o->cls == ObjClass::MovieClip;
        if (clip && (a.size() < 2 || !vm.toBoolean(a[1]))) {
            snap->valid = true;
            ClipHost* host = a[0].o->clip;
            const DisplayList* list = host && fields->listOf ? fields->listOf(host) : nullptr;
            if (list && fields->movie) collect(*fields->movie, *list, snap->glyphs);
        }
        self->native = std::move(snap);
        return {};
    };
    vm.defineValue(g, "TextSnapshot", ctor, DontEnum);

    // Listed in the reverse of the order for..in gives them; methods are enumerable.
    vm.defineMethod(
        proto, "getCount",
        [](Vm&, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || !a.empty()) return {};
            return Value(s->glyphs.size());
        },
        0);
    vm.defineMethod(
        proto, "setSelected",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() != 3) return {};
            const size_t n = s->glyphs.size();
            const auto [b, e] = range(vm, a[0], a[1], n);
            const bool on = vm.toBoolean(a[2]);
            for (size_t i = b; i < e; ++i) s->glyphs[i].selected = on;
            return {};
        },
        0);
    vm.defineMethod(
        proto, "getSelected",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() != 2) return {};
            const auto [b, e] = range(vm, a[0], a[1], s->glyphs.size());
            for (size_t i = b; i < e; ++i)
                if (s->glyphs[i].selected) return Value(true);
            return Value(false);
        },
        0);
    vm.defineMethod(
        proto, "getText",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() < 2 || a.size() > 3) return {};
            const auto [b, e] = range(vm, a[0], a[1], s->glyphs.size());
            return Value(textOf(*s, b, e, a.size() > 2 && vm.toBoolean(a[2])));
        },
        0);
    vm.defineMethod(
        proto, "getSelectedText",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() > 1) return {};
            return Value(textOf(*s, 0, s->glyphs.size(), !a.empty() && vm.toBoolean(a[0]), true));
        },
        0);
    vm.defineMethod(
        proto, "hitTestTextNearPos",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() < 2 || a.size() > 3) return {};
            const double x = vm.toNumber(a[0]), y = vm.toNumber(a[1]);
            double reach = a.size() > 2 ? vm.toNumber(a[2]) : 0;
            if (std::isnan(reach) || reach < 0) reach = 0;
            if (std::isnan(x) || std::isnan(y)) return Value(-1);
            int best = -1;
            double bestD = INFINITY;
            for (size_t i = 0; i < s->glyphs.size(); ++i) {
                const double d = distanceTo(s->glyphs[i], QPointF(x, y));
                if (d <= reach && d < bestD) {
                    bestD = d;
                    best = static_cast<int>(i);
                }
            }
            return Value(best);
        },
        0);
    vm.defineMethod(
        proto, "findText",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() != 3) return {};
            const double from = vm.toNumber(a[0]);
            const std::string want = vm.toString(a[1]);
            const bool exact = vm.toBoolean(a[2]);
            const size_t n = s->glyphs.size();
            if (std::isnan(from) || from < 0 || from >= double(n) || want.empty()) return Value(-1);
            std::u32string needle;
            for (char32_t c : utf8Decode(want)) needle += exact ? c : fold(c);
            if (needle.size() > n) return Value(-1);
            for (size_t i = static_cast<size_t>(from); i + needle.size() <= n; ++i) {
                size_t k = 0;
                for (; k < needle.size(); ++k) {
                    const char32_t c = s->glyphs[i + k].ch;
                    if ((exact ? c : fold(c)) != needle[k]) break;
                }
                if (k == needle.size()) return Value(static_cast<int>(i));
            }
            return Value(-1);
        },
        0);
    vm.defineMethod(
        proto, "setSelectColor", [](Vm&, Object*, Args&) -> Value { return {}; }, 0);
    vm.defineMethod(
        proto, "getTextRunInfo",
        [](Vm& vm, Object* self, Args& a) -> Value {
            Snapshot* s = validSnap(self);
            if (!s || a.size() != 2) return {};
            const auto [b, e] = range(vm, a[0], a[1], s->glyphs.size());
            std::vector<Value> items;
            for (size_t i = b; i < e; ++i) {
                const SnapGlyph& gl = s->glyphs[i];
                Object* o = vm.newObject();
                vm.set(o, "indexInRun", Value(gl.indexInRun));
                vm.set(o, "selected", Value(gl.selected));
                vm.set(o, "font", Value(gl.font));
                vm.set(o, "color", Value(double(gl.color)));
                vm.set(o, "height", Value(gl.height));
                vm.set(o, "matrix_a", Value(gl.matrix.m11()));
                vm.set(o, "matrix_b", Value(gl.matrix.m12()));
                vm.set(o, "matrix_c", Value(gl.matrix.m21()));
                vm.set(o, "matrix_d", Value(gl.matrix.m22()));
                vm.set(o, "matrix_tx", Value(gl.matrix.dx()));
                vm.set(o, "matrix_ty", Value(gl.matrix.dy()));
                for (int c = 0; c < 4; ++c) {
                    const std::string k = "corner" + std::to_string(c);
                    vm.set(o, k + "x", Value(gl.corners[c].x()));
                    vm.set(o, k + "y", Value(gl.corners[c].y()));
                }
                items.push_back(Value(o));
            }
            return Value(vm.newArray(std::move(items)));
        },
        0);
    // The methods came with Flash 6: SWF 5 movies list them but read them as undefined.
    for (const Property& p : proto->props())
        if (p.key != kProtoKey && p.key != vm.key("constructor")) vm.addFlags(proto, p.name, From6);

    // MovieClip.getTextSnapshot: whatever _global.TextSnapshot now is, made over the clip.
    vm.defineMethod(vm.clipProto, "getTextSnapshot", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::MovieClip) return {};
        return vm.construct(vm.get(vm.global, "TextSnapshot"), {Value(self)});
    });
}

}  // namespace swf::avm1
