// Filled chart shapes from unclamped projected points.
//
// The projection reports points beyond 32767 pixels from the chart centre
// as invisible, which is right for lines and points but would tear a filled
// shape (ground, daylight, Milky Way) whose corners lie far outside the
// chart at high zoom. These shapes are built from the unclamped points
// (TProjection::Unclamped) and clipped here to a rectangle a little larger
// than the target, so the fill inside the target is exactly that of the
// whole polygon and no coordinate ever overflows.
#pragma once

#include <QPointF>
#include <vector>

#include "platform/drawing.h"

// The polygon `points` clipped to the rectangle left..right, top..bottom
// (Sutherland-Hodgman; exact for the simple polygons of the chart). Empty
// when nothing of it lies inside.
std::vector<QPointF> ClipPolygonToRect(const std::vector<QPointF>& points, double left, double top, double right,
                                       double bottom);

// Fills `points` with the context's pen, brush and fill mode after clipping
// to the rectangle (left, top, right, bottom) enlarged by `margin` pixels on
// every side (so a pen outline along the cut stays outside). Vertices keep
// their fractions of a pixel. Nothing is drawn when nothing lies inside.
void FillClippedPolygon(platform::DrawingContext& dc, const std::vector<QPointF>& points, int left, int top,
                        int right, int bottom, int margin = 16);
