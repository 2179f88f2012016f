#include "plot/chart.h"

#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/text.h"

namespace kavrin {
namespace {

// Of a font's size: how far its letters reach above and below the baseline,
// and how high a superscript is raised.
constexpr double kAscent = 0.8;
constexpr double kDescent = 0.25;
constexpr double kRaise = 0.36;
constexpr double kSuperscript = 0.75;

std::string Colour(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
  return text;
}

const char* KindName(ChartShape::Kind kind) {
  switch (kind) {
    case ChartShape::Kind::Polyline:
      return "polyline";
    case ChartShape::Kind::Polygon:
      return "polygon";
    case ChartShape::Kind::Rect:
      return "rect";
    case ChartShape::Kind::Marker:
      return "marker";
    case ChartShape::Kind::Text:
      return "text";
    case ChartShape::Kind::Line:
      break;
  }
  return "line";
}

const char* RoleName(ChartRole role) {
  static const char* const names[] = {"background", "title",       "band",  "grid",   "tick",  "axis",  "note",
                                      "guide",      "guide-label", "curve", "marker", "frame", "legend"};
  return names[static_cast<int>(role)];
}

const char* MarkerName(MarkerShape marker) {
  static const char* const names[] = {"circle", "square", "triangle-up", "diamond", "triangle-down", "plus", "cross"};
  return names[static_cast<int>(marker)];
}

const char* AnchorName(TextAnchor anchor) {
  return anchor == TextAnchor::Middle ? "middle" : anchor == TextAnchor::End ? "end" : "start";
}

}  // namespace

double EstimatedTextWidth(std::string_view text, double size) {
  return static_cast<double>(CodePoints(text)) * 0.64 * size;
}

ChartBox TextBox(const ChartShape& text, const TextWidth& measure) {
  const double width = measure(text.text, text.size) +
                       (text.superscript.empty() ? 0.0 : measure(text.superscript, text.size * kSuperscript));
  const double before = text.anchor == TextAnchor::Start ? 0 : text.anchor == TextAnchor::Middle ? width / 2 : width;
  const double above = text.size * (text.superscript.empty() ? kAscent : kAscent + kRaise);
  const double below = text.size * kDescent;
  const ChartPoint at = text.points.front();
  if (text.upright) return {at.x - above, at.y - (width - before), at.x + below, at.y + before};
  return {at.x - before, at.y - above, at.x + (width - before), at.y + below};
}

bool ClipSegment(ChartPoint& a, ChartPoint& b, const ChartBox& box) {
  double t0 = 0;
  double t1 = 1;
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
    return true;
  };
  if (!(edge(-dx, a.x - box.left) && edge(dx, box.right - a.x) && edge(-dy, a.y - box.top) &&
        edge(dy, box.bottom - a.y)))
    return false;
  const ChartPoint start{a.x + t0 * dx, a.y + t0 * dy};
  b = {a.x + t1 * dx, a.y + t1 * dy};
  a = start;
  return true;
}

std::string ChartJson(const Chart& chart) {
  auto number = [](double v) { return RoundTripText(std::round(v * 100) / 100); };
  std::string out = "{\"width\":" + std::to_string(chart.width) + ",\"height\":" + std::to_string(chart.height) +
                    ",\"font\":" + JsonQuoted(chart.font_family) + ",\"shapes\":[";
  for (const ChartShape& s : chart.shapes) {
    if (&s != &chart.shapes.front()) out += ',';
    out += std::string("{\"k\":\"") + KindName(s.kind) + "\",\"r\":\"" + RoleName(s.role) + "\",\"p\":[";
    for (const ChartPoint& p : s.points) {
      if (&p != &s.points.front()) out += ',';
      out += number(p.x) + ',' + number(p.y);
    }
    out += ']';
    if (s.stroked) out += ",\"s\":\"" + Colour(s.stroke) + "\",\"w\":" + number(s.width);
    if (s.filled) out += ",\"f\":\"" + Colour(s.fill) + '"';
    if (s.dashed) out += ",\"d\":1";
    if (s.kind == ChartShape::Kind::Marker) out += std::string(",\"m\":\"") + MarkerName(s.marker) + '"';
    if (s.kind == ChartShape::Kind::Marker || s.kind == ChartShape::Kind::Text) out += ",\"z\":" + number(s.size);
    if (s.kind == ChartShape::Kind::Text) {
      out += ",\"t\":" + JsonQuoted(s.text) + ",\"a\":\"" + AnchorName(s.anchor) + '"';
      if (!s.superscript.empty()) out += ",\"u\":" + JsonQuoted(s.superscript);
      if (s.upright) out += ",\"v\":1";
    }
    out += '}';
  }
  return out + "]}";
}

}  // namespace kavrin
