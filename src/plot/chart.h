#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plot/drawing_surface.h"

namespace kavrin {

// A chart as data: shapes in pixels, drawn in order, every one already
// clipped to where it belongs, so that a renderer (QPainter for SVG and PNG,
// the page's canvas) only draws them and every renderer shows the same thing.

struct ChartPoint {
  double x;
  double y;
};

struct ChartBox {
  double left, top, right, bottom;
  bool Overlaps(const ChartBox& other) const {
    return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
  }
  bool Contains(const ChartPoint& p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
};

enum class TextAnchor { Start, Middle, End };

// What a shape shows, for the tests and for a renderer that styles by part.
enum class ChartRole {
  Background,
  Title,
  Band,
  Grid,
  TickLabel,
  AxisTitle,
  Note,
  Guide,
  GuideLabel,
  Curve,
  Marker,
  Frame,
  Legend
};

struct ChartShape {
  enum class Kind { Line, Polyline, Polygon, Rect, Marker, Text };
  Kind kind = Kind::Line;
  ChartRole role = ChartRole::Grid;
  // Line: two points; Polyline, Polygon: any; Rect: two corners; Marker:
  // its centre; Text: its anchor on the baseline.
  std::vector<ChartPoint> points;
  Rgb stroke{0, 0, 0};
  Rgb fill{255, 255, 255};
  bool stroked = true;
  bool filled = false;
  double width = 1;  // of the stroke, in pixels
  bool dashed = false;
  MarkerShape marker = MarkerShape::Circle;
  double size = 10;  // a marker's radius, or a text's font size, in pixels
  std::string text;
  std::string superscript;  // raised after the text, at 3/4 of its size
  TextAnchor anchor = TextAnchor::Start;
  bool upright = false;  // text turned a quarter to the left, reading upwards
};

struct Chart {
  int width = 0;
  int height = 0;
  // The family the sizes were measured in; renderers fall back to any sans-serif.
  std::string font_family;
  std::vector<ChartShape> shapes;
  ChartBox frame{};
  // What the frame spans in the data's units (on a logarithmic axis, their
  // log10): left and right across, top and bottom upwards.
  ChartBox data{};
};

// The width of a text at a font size in pixels, as the renderer will draw it.
using TextWidth = std::function<double(std::string_view text, double size)>;

// The font every chart is laid out in; renderers fall back to any sans-serif.
inline constexpr char kChartFont[] = "DejaVu Sans";

// A chart's size in pixels.
struct ChartSize {
  int width;
  int height;
};

// A width for any text without a font at hand: an average advance per
// character, generous enough that real fonts do not draw wider.
double EstimatedTextWidth(std::string_view text, double size);

// The box a text shape covers, measured as the chart was laid out.
ChartBox TextBox(const ChartShape& text, const TextWidth& measure);

// Shortens the segment a-b to the part inside `box` (Liang-Barsky); false
// when nothing of it lies inside.
bool ClipSegment(ChartPoint& a, ChartPoint& b, const ChartBox& box);

// The chart as JSON, for the page's canvas: {"width":..,"height":..,"font":..,
// "shapes":[{"k":"line","r":"grid","p":[x,y,...],"s":"#rrggbb",...},...]}.
std::string ChartJson(const Chart& chart);

}  // namespace kavrin
