#include "engine/runtime/shape_geometry.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <unordered_map>

namespace swf {
namespace {

using format::Edge;

uint64_t pointKey(int32_t x, int32_t y) { return (uint64_t(uint32_t(x)) << 32) | uint32_t(y); }

void addEdge(QPainterPath& p, const Edge& e) {
    if (e.curve)
        p.quadTo(e.cx, e.cy, e.x1, e.y1);
    else
        p.lineTo(e.x1, e.y1);
}

QPainterPath joinContours(const std::vector<Edge>& edges, bool winding) {
    QPainterPath path;
    path.setFillRule(winding ? Qt::WindingFill : Qt::OddEvenFill);
    std::unordered_map<uint64_t, std::vector<uint32_t>> byStart;
    byStart.reserve(edges.size());
    for (uint32_t i = edges.size(); i-- > 0;)  // reversed so pop_back yields file order
        byStart[pointKey(edges[i].x0, edges[i].y0)].push_back(i);
    std::vector<bool> used(edges.size(), false);
    auto takeFrom = [&](int32_t x, int32_t y) -> int64_t {
        auto it = byStart.find(pointKey(x, y));
        if (it == byStart.end()) return -1;
        auto& v = it->second;
        while (!v.empty() && used[v.back()]) v.pop_back();
        if (v.empty()) return -1;
        const uint32_t i = v.back();
        v.pop_back();
        return i;
    };
    for (uint32_t first = 0; first < edges.size(); ++first) {
        if (used[first]) continue;
        const Edge& e0 = edges[first];
        path.moveTo(e0.x0, e0.y0);
        int64_t cur = first;
        while (cur >= 0) {
            used[cur] = true;
            const Edge& e = edges[cur];
            addEdge(path, e);
            if (e.x1 == e0.x0 && e.y1 == e0.y0) break;
            cur = takeFrom(e.x1, e.y1);
        }
        path.closeSubpath();
    }
    return path;
}

Edge reversed(const Edge& e) { return {e.x1, e.y1, e.cx, e.cy, e.x0, e.y0, e.curve}; }

}  // namespace

ShapeGeometry buildShapeGeometry(const format::Shape& shape) {
    ShapeGeometry g;
    g.layers.resize(shape.groupCount);
    // Edges per (layer, style), gathered in record order.
    std::vector<std::vector<Edge>> fillEdges(shape.fills.size() + 1);
    std::vector<std::vector<Edge>> lineEdges(shape.lines.size() + 1);
    std::vector<uint32_t> fillLayer(shape.fills.size() + 1, 0),
        lineLayer(shape.lines.size() + 1, 0);
    for (const auto& p : shape.paths) {
        // A path naming a style or layer the shape lacks draws nothing, whoever built it.
        if (p.fill0 >= fillEdges.size() || p.fill1 >= fillEdges.size() ||
            p.line >= lineEdges.size() || p.group >= g.layers.size())
            continue;
        if (p.fill1) {
            auto& v = fillEdges[p.fill1];
            v.insert(v.end(), p.edges.begin(), p.edges.end());
            fillLayer[p.fill1] = p.group;
        }
        if (p.fill0) {
            auto& v = fillEdges[p.fill0];
            for (const auto& e : p.edges) v.push_back(reversed(e));
            fillLayer[p.fill0] = p.group;
        }
        if (p.line) {
            auto& v = lineEdges[p.line];
            v.insert(v.end(), p.edges.begin(), p.edges.end());
            lineLayer[p.line] = p.group;
        }
    }
    for (uint32_t s = 1; s < fillEdges.size(); ++s) {
        if (fillEdges[s].empty()) continue;
        g.layers[fillLayer[s]].fills.push_back({s, joinContours(fillEdges[s], shape.windingRule)});
    }
    for (uint32_t s = 1; s < lineEdges.size(); ++s) {
        const auto& edges = lineEdges[s];
        if (edges.empty()) continue;
        // A run that comes back to where it started is one closed outline: joined all round,
        // not capped, unless the style says the ends stay open.
        const bool mayClose = !shape.lines[s - 1].noClose;
        QPainterPath path;
        // Qt's stroker joins any outline that ends on its start; keep open ones a hair apart.
        auto endRun = [&](bool closed) {
            if (!closed) return;
            if (mayClose) {
                path.closeSubpath();
                return;
            }
            const int last = path.elementCount() - 1;
            const QPointF end = path.elementAt(last), before = path.elementAt(last - 1);
            const QPointF d = before - end;
            const double len = std::hypot(d.x(), d.y());
            if (len > 0)
                path.setElementPositionAt(last, end.x() + d.x() / len * 0.01,
                                          end.y() + d.y() / len * 0.01);
        };
        bool started = false;
        int32_t px = 0, py = 0, sx = 0, sy = 0;
        for (const auto& e : edges) {
            if (!started || e.x0 != px || e.y0 != py) {
                if (started) endRun(px == sx && py == sy);
                path.moveTo(e.x0, e.y0);
                sx = e.x0;
                sy = e.y0;
            }
            addEdge(path, e);
            started = true;
            px = e.x1;
            py = e.y1;
        }
        if (started) endRun(px == sx && py == sy);
        g.layers[lineLayer[s]].strokes.push_back({s, path});
    }
    for (const auto& layer : g.layers) {
        for (const auto& f : layer.fills) settlePath(f.path);
        for (const auto& st : layer.strokes) settlePath(st.path);
    }
    return g;
}

void settlePath(const QPainterPath& path) {
    if (path.isEmpty()) return;
    path.boundingRect();
    path.controlPointRect();
    // Drawing it once makes the painter's converted form, kept inside the path.
    thread_local QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&pixel);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(path);
}

}  // namespace swf
