// Where clips are: their bounds (_width, _height, getBounds, getRect) and hit tests, from the
// artwork on their display lists.

#include <QPainterPath>
#include <QTransform>
#include <array>
#include <cmath>
#include <numbers>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip.h"
#include "engine/avm1/display_props.h"
#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/render/text_render.h"
#include "engine/render/video_draw.h"
#include "engine/runtime/bitmap_surface.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/drawing.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/text_field_view.h"

namespace swf::avm1 {

QTransform rootTransform(Vm& vm) {
    auto* r = dynamic_cast<ScriptRunner*>(vm.root_);
    const DisplayObject* o = r ? r->rootPlacement() : nullptr;
    if (!o) return {};
    const format::Matrix& m = o->matrix;
    return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty);
}

QTransform placementInverse(const QTransform& t, bool* ok) {
    const QTransform inv = t.inverted(ok);
    return QTransform(inv.m11(), inv.m12(), inv.m21(), inv.m22(), std::round(inv.dx()),
                      std::round(inv.dy()));
}

namespace {

constexpr int kMaxNesting = 64;
// What an empty clip reports for each edge, in pixels.
constexpr double kNoBounds = 6710886.35;
constexpr int32_t kNoEdgeTwips = 0x7FFFFFF;

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

QRectF rectOf(const format::Rect& r) {
    return QRectF(r.xMin, r.yMin, r.xMax - r.xMin, r.yMax - r.yMin);
}

using Corners = std::array<QPointF, 4>;

Corners cornersOf(const QRectF& r) { return {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}; }

// Points carried through a matrix as the player does it: each lands on whole twips.
Corners mapTwips(const QTransform& t, const Corners& c) {
    Corners out;
    for (size_t i = 0; i < c.size(); ++i) {
        const QPointF p = t.map(c[i]);
        out[i] = QPointF(std::round(p.x()), std::round(p.y()));
    }
    return out;
}

QRectF edgesOf(const Corners& c) {
    double x0 = c[0].x(), y0 = c[0].y(), x1 = x0, y1 = y0;
    for (const QPointF& p : c) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

// A rectangle carried through a matrix: its corners on whole twips, then their edges.
QRectF mapTwips(const QTransform& t, const QRectF& r) { return edgesOf(mapTwips(t, cornersOf(r))); }

QRectF unite(const QRectF& a, const QRectF& b) {
    if (a.isNull()) return b;
    if (b.isNull()) return a;
    return a.united(b);
}

// The bounds of an object's own artwork and children, in its own twips, or carried through t
// into another space; strokes only when withStrokes. Null when it draws nothing. Each piece of
// artwork is carried through the whole chain of matrices on its own, so a turned clip's box
// hugs what it draws rather than its children's boxes.
QRectF localBounds(const Movie& movie, const DisplayObject& o, bool withStrokes, int nesting,
                   const QTransform& t = {});

QRectF listBounds(const Movie& movie, const DisplayList& list, bool withStrokes, int nesting,
                  const QTransform& t = {}) {
    QRectF out;
    if (nesting > kMaxNesting) return out;
    if (list.drawing && !list.drawing->empty()) out = mapTwips(t, list.drawing->bounds(withStrokes));
    for (const auto& [d, child] : list.objects)
        out = unite(out, localBounds(movie, child, withStrokes, nesting + 1, toQt(child.matrix) * t));
    return out;
}

QRectF localBounds(const Movie& movie, const DisplayObject& o, bool withStrokes, int nesting,
                   const QTransform& t) {
    auto leaf = [&t](const QRectF& r) { return mapTwips(t, r); };
    if (const auto& r = o.scrollRect) return leaf(QRectF(0, 0, r->width, r->height));
    if (o.textField) return leaf(rectOf(o.textField->field.bounds));
    if (o.bitmap) return leaf(render::attachedRect(movie, o));
    const Character* ch = movie.character(o.characterId);
    if (!ch) return o.sprite ? listBounds(movie, o.sprite->list, withStrokes, nesting, t) : QRectF();
    if (const auto* sc = std::get_if<ShapeCharacter>(ch)) {
        const auto& shape = sc->get().shape;
        const bool edges = !withStrokes && sc->version() >= 4;
        return leaf(rectOf(edges ? shape.edgeBounds : shape.bounds));
    }
    if (const auto* mc = std::get_if<MorphCharacter>(ch)) {
        const double k = o.boundsRatio / 65535.0;
        const auto& s = mc->get().startBounds;
        const auto& e = mc->get().endBounds;
        auto mix = [k](int32_t a, int32_t b) { return a + (b - a) * k; };
        return leaf(QRectF(QPointF(mix(s.xMin, e.xMin), mix(s.yMin, e.yMin)),
                           QPointF(mix(s.xMax, e.xMax), mix(s.yMax, e.yMax))));
    }
    if (const auto* tc = std::get_if<TextCharacter>(ch))
        return mapTwips(toQt(tc->get().matrix) * t, rectOf(tc->get().bounds));
    if (const auto* ec = std::get_if<EditTextCharacter>(ch)) return leaf(rectOf(ec->text.bounds));
    if (o.sprite) return listBounds(movie, o.sprite->list, withStrokes, nesting, t);
    return {};
}

ScriptRunner* runnerOf(Vm& vm) { return dynamic_cast<ScriptRunner*>(&vm.host()); }

// A clip's transform to global space, in twips; nullopt for a clip no longer on stage. Global
// space is the main root's own: a script moving the root moves neither hitTest's points nor
// what localToGlobal answers.
std::optional<QTransform> toStage(Vm& vm, ClipHost* clip) {
    QTransform t;
    int guard = 0;
    for (ClipHost* c = clip; c && c != vm.root_; c = c->parent()) {
        // A movie loaded into a clip sits where that clip is.
        if (auto* r = dynamic_cast<ScriptRunner*>(c); r && r->standIn()) {
            c = r->standIn();
            if (c == vm.root_) break;
        }
        auto* s = dynamic_cast<SpriteClip*>(c);
        const DisplayObject* o = s ? s->object() : nullptr;
        if (!o || ++guard > kMaxNesting) return std::nullopt;
        // A parent's scroll rectangle moves everything inside it.
        if (c != clip && o->scrollRect)
            t = t * QTransform::fromTranslate(-o->scrollRect->x, -o->scrollRect->y);
        t = t * toQt(o->matrix);
    }
    return t;
}

// The display object of a sprite or a button; null for anything else or one off the stage.
DisplayObject* shapedObject(ClipHost* clip) {
    if (auto* s = dynamic_cast<SpriteClip*>(clip)) return s->object();
    if (auto* b = dynamic_cast<ButtonHost*>(clip)) return b->object();
    return nullptr;
}

// What a clip draws, in its own twips; a button, the state it shows.
QRectF clipBounds(Vm& vm, ClipHost* clip, bool withStrokes) {
    ScriptRunner* r = runnerFor(vm, clip);
    if (!r) return {};
    if (clip == vm.root_ || clip == r) {
        const DisplayList* l = r->listOf(clip);
        return l ? listBounds(r->movie(), *l, withStrokes, 0) : QRectF();
    }
    const DisplayObject* o = shapedObject(clip);
    return o ? localBounds(r->movie(), *o, withStrokes, 0) : QRectF();
}

ClipHost* clipArg(Vm& vm, ClipHost* self, const Value& v) {
    // Anything but a clip names one by its text, undefined too.
    if (v.isObject() && v.o->cls == ObjClass::MovieClip) return v.o->clip;
    const std::string path = vm.toString(v);
    return path.empty() ? nullptr : vm.resolveTarget(path, self);
}

}  // namespace

std::optional<ClipRect> boundsIn(Vm& vm, ClipHost* clip, ClipHost* space, bool withStrokes) {
    const QRectF local = clipBounds(vm, clip, withStrokes);
    // SWF 8 code sees the edges rounded when carried into another clip's space; older code
    // once any SWF 8 code has asked for bounds.
    const bool modern = vm.activeVersion() >= 8;
    const bool rounded = modern ? space != clip : vm.emptyBoundsRounded;
    if (modern) vm.emptyBoundsRounded = true;
    if (local.isNull()) {
        // Nothing drawn: the edges are the largest twips value, which the player later keeps
        // in single precision.
        const double v = rounded ? double(float(kNoEdgeTwips)) / 20.0 : kNoBounds;
        return ClipRect{QRectF(QPointF(v, v), QPointF(v, v)), true};
    }
    const auto from = toStage(vm, clip), to = toStage(vm, space);
    if (!from || !to) return std::nullopt;
    bool ok = false;
    // The corners go by the stage, landing on whole twips there too.
    const QTransform inv = placementInverse(*to, &ok);
    const QRectF r = !ok || space == clip
                         ? local
                         : edgesOf(mapTwips(inv, mapTwips(*from, cornersOf(local))));
    auto px = [](double tw) { return std::round(tw) / 20.0; };
    return ClipRect{
        QRectF(QPointF(px(r.left()), px(r.top())), QPointF(px(r.right()), px(r.bottom()))), false};
}

namespace {

Value boundsObject(Vm& vm, ClipHost* clip, const Args& a, bool withStrokes) {
    ClipHost* space = clip;
    if (!a.empty()) {
        space = clipArg(vm, clip, a[0]);
        if (!space) return {};
    }
    const auto r = boundsIn(vm, clip, space, withStrokes);
    if (!r) return {};
    Object* out = vm.newObject();
    vm.set(out, "xMin", Value(r->pixels.left()));
    vm.set(out, "xMax", Value(r->pixels.right()));
    vm.set(out, "yMin", Value(r->pixels.top()));
    vm.set(out, "yMax", Value(r->pixels.bottom()));
    return Value(out);
}

// What a shape covers on the stage, fills and strokes, for shape hit tests.
void addShapeOutline(const ShapeGeometry& g, const format::Shape& shape, const QTransform& t,
                     QPainterPath& out, bool withStrokes = true) {
    for (const auto& layer : g.layers) {
        for (const auto& f : layer.fills) out.addPath(t.map(f.path));
        if (!withStrokes) continue;
        for (const auto& st : layer.strokes) {
            if (st.style == 0 || st.style > shape.lines.size()) continue;
            const format::LineStyle& line = shape.lines[st.style - 1];
            QPainterPathStroker stroker;
            stroker.setWidth(std::max<double>(line.width, 20));  // a hairline is a pixel wide
            stroker.setCapStyle(line.startCap == format::LineStyle::NoCap       ? Qt::FlatCap
                                : line.startCap == format::LineStyle::SquareCap ? Qt::SquareCap
                                                                                : Qt::RoundCap);
            stroker.setJoinStyle(line.join == format::LineStyle::BevelJoin   ? Qt::BevelJoin
                                 : line.join == format::LineStyle::MiterJoin ? Qt::MiterJoin
                                                                             : Qt::RoundJoin);
            out.addPath(t.map(stroker.createStroke(st.path)));
        }
    }
}

void collectListOutline(const Movie& movie, const std::map<int, DisplayObject>& objects,
                        const QTransform& t, QPainterPath& out, int nesting);

// The filled outline of an object on the stage, for shape hit tests.
void collectOutline(const Movie& movie, const DisplayObject& o, const QTransform& world,
                    QPainterPath& out, int nesting) {
    if (nesting > kMaxNesting) return;
    if (const auto& r = o.scrollRect) {
        // Only what lies inside the rectangle, moved to the clip's origin, can be hit.
        const QTransform at = toQt(o.matrix) * world;
        DisplayObject content = o;
        content.scrollRect.reset();
        content.matrix = format::Matrix{};
        QPainterPath inner;
        inner.setFillRule(Qt::WindingFill);
        collectOutline(movie, content, QTransform::fromTranslate(-r->x, -r->y) * at, inner,
                       nesting);
        QPainterPath area;
        area.addRect(QRectF(0, 0, r->width, r->height));
        out.addPath(inner.intersected(at.map(area)));
        return;
    }
    const QTransform t = toQt(o.matrix) * world;
    const Character* ch = movie.character(o.characterId);
    if (ch) {
        if (const auto* sc = std::get_if<ShapeCharacter>(ch)) {
            addShapeOutline(sc->get().geometry, sc->get().shape, t, out);
            return;
        }
        if (const auto* mc = std::get_if<MorphCharacter>(ch)) {
            // A morph is hit by its fills alone.
            const format::Shape shape = format::interpolateMorph(mc->get(), o.ratio / 65535.0);
            addShapeOutline(buildShapeGeometry(shape), shape, t, out, false);
            return;
        }
        // Static text is hit where its glyphs are, not in its box; turned or skewed, anywhere
        // in the box that holds it upright in its parent.
        if (const auto* tc = std::get_if<TextCharacter>(ch)) {
            if (o.matrix.r0 != 0 || o.matrix.r1 != 0) {
                QPainterPath box;
                box.addRect(localBounds(movie, o, true, nesting, toQt(o.matrix)));
                out.addPath(world.map(box));
            } else {
                out.addPath(t.map(render::staticTextOutline(movie, tc->get())));
            }
            return;
        }
        if (!o.sprite) {
            QPainterPath p;
            p.addRect(localBounds(movie, o, true, nesting));
            out.addPath(t.map(p));
            return;
        }
    }
    if (!o.sprite) {
        // A field made by a script, an attached bitmap: hit anywhere in the box.
        if (o.textField || o.bitmap) {
            QPainterPath p;
            p.addRect(localBounds(movie, o, true, nesting));
            out.addPath(t.map(p));
        }
        return;
    }
    if (const auto& d = o.sprite->list.drawing; d && !d->empty())
        addShapeOutline(*d->geometry(), d->shape(), t, out);
    collectListOutline(movie, o.sprite->list.objects, t, out, nesting + 1);
}

void collectListOutline(const Movie& movie, const std::map<int, DisplayObject>& objects,
                        const QTransform& t, QPainterPath& out, int nesting) {
    // A clipping layer is not hit itself; what it masks is hit only inside it.
    struct Mask {
        int last;
        QPainterPath area;
    };
    std::vector<Mask> masks;
    for (const auto& [depth, child] : objects) {
        std::erase_if(masks, [d = depth](const Mask& m) { return d > m.last; });
        QPainterPath part;
        part.setFillRule(Qt::WindingFill);
        collectOutline(movie, child, t, part, nesting);
        if (child.clipDepth) {
            masks.push_back({child.clipDepth, part});
            continue;
        }
        for (const Mask& m : masks) part = part.intersected(m.area);
        out.addPath(part);
    }
}

// The stage outline of the clip a script set as o's mask (o being clip's placement); none
// when it has none or the mask is gone.
std::optional<QPainterPath> scriptMaskOutline(Vm& vm, ScriptRunner& r, ClipHost* clip,
                                              const DisplayObject& o) {
    if (o.maskBy.empty()) return std::nullopt;
    const DisplayList* list = nullptr;
    QTransform world;
    if (o.maskSibling) {
        const auto parent = toStage(vm, clip->parent());
        list = parent ? r.listOf(clip->parent()) : nullptr;
        if (!list) return std::nullopt;
        world = *parent;
    } else {
        list = r.listOf(vm.root_);
    }
    for (size_t i = 0; list && i < o.maskBy.size(); ++i) {
        const auto it = list->objects.find(o.maskBy[i]);
        if (it == list->objects.end()) return std::nullopt;
        if (i + 1 == o.maskBy.size()) {
            QPainterPath area;
            area.setFillRule(Qt::WindingFill);
            collectOutline(r.movie(), it->second, world, area, 0);
            return area;
        }
        if (!it->second.sprite) return std::nullopt;
        world = toQt(it->second.matrix) * world;
        list = &it->second.sprite->list;
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> clipExtent(Vm& vm, ClipHost* clip, bool width) {
    const DisplayObject* o = shapedObject(clip);
    if (!o && clip != vm.root_) return std::nullopt;
    const QRectF local = clipBounds(vm, clip, true);
    if (local.isNull()) return 0.0;
    const QTransform t = o ? toQt(o->matrix) : rootTransform(vm);
    // A matrix flattened to a line or a point shows nothing, in both directions.
    if (t.determinant() == 0) return 0.0;
    const QRectF r = mapTwips(t, local);
    return std::round(width ? r.width() : r.height()) / 20.0;
}

std::optional<QRectF> stageBounds(Vm& vm, ClipHost* clip) {
    ScriptRunner* r = runnerOf(vm);
    if (!r || !clip || clip == vm.root_) return std::nullopt;
    const DisplayObject* o = nullptr;
    auto* button = dynamic_cast<ButtonHost*>(clip);
    auto* field = dynamic_cast<TextFieldHost*>(clip);
    if (auto* s = dynamic_cast<SpriteClip*>(clip))
        o = s->object();
    else if (button)
        o = button->object();
    else if (field)
        o = field->object();
    if (!o) return std::nullopt;
    const auto parent = toStage(vm, clip->parent());
    QRectF local;
    if (field) {
        local = rectOf(field->def.bounds);  // a field is its box, whatever text it holds
    } else if (button) {
        // A button is where it takes the mouse: its hit area's records.
        const Character* ch = r->movie().character(o->characterId);
        const auto* bc = ch ? std::get_if<ButtonCharacter>(ch) : nullptr;
        for (const auto& rec : bc ? bc->button.records : std::vector<format::ButtonRecord>{}) {
            if (!rec.hitTest) continue;
            DisplayObject part;
            part.characterId = rec.characterId;
            const QRectF b = localBounds(r->movie(), part, true, 1);
            if (!b.isNull()) local = unite(local, toQt(rec.matrix).mapRect(b));
        }
    } else {
        local = localBounds(r->movie(), *o, true, 0);
    }
    if (!parent || local.isNull()) return std::nullopt;
    return (toQt(o->matrix) * *parent).mapRect(local);
}

void setClipExtent(Vm& vm, ClipHost* clip, bool width, double v) {
    DisplayObject* o = shapedObject(clip);
    if (!o || !std::isfinite(v)) return;
    const QRectF local = clipBounds(vm, clip, true);
    const int index = width ? 2 : 3, other = width ? 3 : 2;
    const QRectF shown = local.isNull() ? QRectF() : mapTwips(toQt(o->matrix), local);
    const double size = width ? shown.width() : shown.height();
    // A clip showing nothing on that axis cannot be stretched to a size: its scale is
    // flattened, and stays so whatever it draws later.
    if (size <= 0) {
        clipSetIndex(vm, clip, index, Value(0.0));
        return;
    }
    // Both scales are taken anew against the clip turned but not scaled, in whole twips: the
    // set axis from the size asked for, the other from the size it shows now. A quarter turn
    // thus stretches the axis that lies along the stage's other direction.
    takeOverTransform(*o);
    const auto& m = o->matrix;
    auto axis = [](double x, double y, double angle) {
        const double len = std::hypot(x, y);
        return len > 0 ? QPointF(x / len, y / len) : QPointF(std::cos(angle), std::sin(angle));
    };
    const double turn = o->rotation * std::numbers::pi / 180;
    const QPointF ax = axis(m.sx, m.r0, turn), ay = axis(m.r1, m.sy, turn + std::numbers::pi / 2);
    const QRectF unit = QTransform(ax.x(), ax.y(), ay.x(), ay.y(), 0, 0).mapRect(local);
    const double unitSet = std::round(width ? unit.width() : unit.height());
    const double unitOther = std::round(width ? unit.height() : unit.width());
    const double shownOther = std::round(width ? shown.height() : shown.width());
    auto scaleTo = [&](int idx, double twips, double unitTwips) {
        const double sign = (idx == 2 ? o->xscale : o->yscale) < 0 ? -1 : 1;
        clipSetIndex(vm, clip, idx, Value(sign * 100 * twips / unitTwips));
    };
    if (unitOther > 0) scaleTo(other, shownOther, unitOther);
    if (unitSet > 0) scaleTo(index, v * 20, unitSet);
}

void installClipBoundsBuiltins(Vm& vm) {
    Object* mp = vm.clipProto;
    auto clipOf = [](Object* self) -> ClipHost* {
        return self && self->cls == ObjClass::MovieClip ? self->clip : nullptr;
    };
    vm.defineMethod(mp, "getBounds", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        return c ? boundsObject(vm, c, a, true) : Value();
    });
    // localToGlobal(point) / globalToLocal(point): the point's x and y (pixels) rewritten
    // between the clip's space and the stage's; a point without numbers stays as it is.
    for (const bool toGlobal : {true, false}) {
        vm.defineMethod(mp, toGlobal ? "localToGlobal" : "globalToLocal",
                        [clipOf, toGlobal](Vm& vm, Object* self, Args& a) -> Value {
                            ClipHost* c = clipOf(self);
                            if (!c || !arg(a, 0).isObject()) return {};
                            Object* pt = a[0].o;
                            // The point's own x and y count even where version bits hide them.
                            auto write = [&](std::string_view name, double v) {
                                if (Property* own = vm.versionHidden(pt, name))
                                    own->value = Value(v);
                                else
                                    vm.set(pt, name, Value(v));
                            };
                            const double x = vm.toNumber(vm.getHidden(pt, "x"));
                            const double y = vm.toNumber(vm.getHidden(pt, "y"));
                            auto t = toStage(vm, c);
                            if (!t || !std::isfinite(x) || !std::isfinite(y)) return {};
                            if (!toGlobal) {
                                bool ok = false;
                                t = t->inverted(&ok);
                                if (!ok) return {};
                            }
                            const QPointF p = t->map(QPointF(x * 20, y * 20)) / 20.0;
                            write("x", p.x());
                            write("y", p.y());
                            return {};
                        });
    }
    vm.defineMethod(mp, "getRect", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        return c ? boundsObject(vm, c, a, false) : Value();
    });
    vm.defineMethod(mp, "hitTest", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        ScriptRunner* r = runnerOf(vm);
        if (!c || !r || a.empty()) return {};
        const auto mine = toStage(vm, c);
        if (!mine) return Value(false);
        const QRectF area = mine->mapRect(clipBounds(vm, c, true));
        if (a.size() == 1) {
            ClipHost* other = clipArg(vm, c, a[0]);
            if (!other) return Value(false);
            const auto theirs = toStage(vm, other);
            if (!theirs) return Value(false);
            const QRectF b = theirs->mapRect(clipBounds(vm, other, true));
            return Value(!area.isNull() && !b.isNull() && area.intersects(b));
        }
        const double x = vm.toNumber(a[0]) * 20, y = vm.toNumber(a[1]) * 20;
        if (!std::isfinite(x) || !std::isfinite(y)) return Value(false);
        const QPointF at(x, y);
        if (!vm.toBoolean(arg(a, 2))) return Value(!area.isNull() && area.contains(at));
        QPainterPath outline;
        outline.setFillRule(Qt::WindingFill);
        if (c == vm.root_) {
            if (const DisplayList* l = r->listOf(c))
                collectListOutline(r->movie(), l->objects, QTransform(), outline, 0);
        } else if (auto* s = dynamic_cast<SpriteClip*>(c); s && s->object()) {
            // The clip's own matrix is in the chain already.
            const auto parent = toStage(vm, c->parent());
            if (parent) collectOutline(r->movie(), *s->object(), *parent, outline, 0);
            // A mask a script set on the clip hides what lies outside it from the test too.
            if (const auto mask = scriptMaskOutline(vm, *r, c, *s->object()))
                outline = outline.intersected(*mask);
        }
        // Only the inside hits: a point on the shape's edge (its very corner) does not.
        constexpr double kEdge = 0.01;  // twips
        for (const QPointF d :
             {QPointF(kEdge, 0), QPointF(-kEdge, 0), QPointF(0, kEdge), QPointF(0, -kEdge)})
            if (!outline.contains(at + d)) return Value(false);
        return Value(outline.contains(at));
    });
}

}  // namespace swf::avm1
