// Polygon clipping for the chart's filled shapes.
#include "chart/fill_polygon.h"

#include <cmath>

namespace {

// One Sutherland-Hodgman pass against the half-plane where
// sign * (coordinate `axis` of p - limit) <= 0.
void ClipEdge(const std::vector<QPointF>& in, std::vector<QPointF>& out, int axis, double limit, double sign) {
  out.clear();
  const std::size_t n = in.size();
  if (n == 0) return;
  auto coord = [axis](const QPointF& p) { return axis == 0 ? p.x() : p.y(); };
  auto inside = [&](const QPointF& p) { return sign * (coord(p) - limit) <= 0; };
  QPointF prev = in[n - 1];
  bool prevIn = inside(prev);
  for (const QPointF& cur : in) {
    const bool curIn = inside(cur);
    if (curIn != prevIn) {
      const double t = (limit - coord(prev)) / (coord(cur) - coord(prev));
      out.emplace_back(prev.x() + t * (cur.x() - prev.x()), prev.y() + t * (cur.y() - prev.y()));
      if (axis == 0) out.back().setX(limit); else out.back().setY(limit);
    }
    if (curIn) out.push_back(cur);
    prev = cur;
    prevIn = curIn;
  }
}

}  // namespace

std::vector<QPointF> ClipPolygonToRect(const std::vector<QPointF>& points, double left, double top, double right,
                                       double bottom) {
  std::vector<QPointF> a, b;
  for (const QPointF& p : points)
    if (std::isfinite(p.x()) && std::isfinite(p.y())) a.push_back(p);
  ClipEdge(a, b, 0, left, -1);
  ClipEdge(b, a, 0, right, +1);
  ClipEdge(a, b, 1, top, -1);
  ClipEdge(b, a, 1, bottom, +1);
  return a;
}

void FillClippedPolygon(platform::DrawingContext& dc, const std::vector<QPointF>& points, int left, int top,
                        int right, int bottom, int margin) {
  const std::vector<QPointF> clipped =
      ClipPolygonToRect(points, left - margin, top - margin, right + margin, bottom + margin);
  if (clipped.size() >= 3) dc.PolygonF(clipped);
}
