#include "plot/chart_parts.h"

#include <cmath>

namespace kavrin {

ChartShape Text(ChartRole role, ChartPoint at, std::string text, double size, TextAnchor anchor, Rgb colour) {
  ChartShape s;
  s.kind = ChartShape::Kind::Text;
  s.role = role;
  s.points = {at};
  s.text = std::move(text);
  s.size = size;
  s.anchor = anchor;
  s.stroke = colour;
  return s;
}

ChartShape Line(ChartRole role, ChartPoint a, ChartPoint b, Rgb colour, double width, bool dashed) {
  ChartShape s;
  s.role = role;
  s.points = {a, b};
  s.stroke = colour;
  s.width = width;
  s.dashed = dashed;
  return s;
}

// Tick labels along one axis, every k-th of them, with the smallest k at
// which neighbours keep a gap; the others are left out.
std::vector<std::size_t> Thinned(const std::vector<ChartBox>& boxes, bool across, double gap) {
  for (std::size_t k = 1; k <= boxes.size(); ++k) {
    bool apart = true;
    for (std::size_t i = k; i < boxes.size() && apart; i += k) {
      const ChartBox& a = boxes[i - k];
      const ChartBox& b = boxes[i];
      apart = across ? std::max(a.left, b.left) - std::min(a.right, b.right) >= gap
                     : std::max(a.top, b.top) - std::min(a.bottom, b.bottom) >= gap;
    }
    if (apart) {
      std::vector<std::size_t> kept;
      for (std::size_t i = 0; i < boxes.size(); i += k) kept.push_back(i);
      return kept;
    }
  }
  return {};
}

// An exponent for a superscript, with a true minus sign.
std::string SignedExponent(int d) { return d < 0 ? "\xE2\x88\x92" + std::to_string(-d) : std::to_string(d); }

// Whether the segment a-b crosses the box.
bool Crosses(ChartPoint a, ChartPoint b, const ChartBox& box) { return ClipSegment(a, b, box); }

// Words broken into lines no wider than `room`.
std::vector<std::string> Wrap(const Layout& layout, std::string_view text, double room, double size) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string_view word = text.substr(start, end - start);
    std::string longer = line.empty() ? std::string(word) : std::string(line).append(" ").append(word);
    if (!line.empty() && layout.Width(longer, size) > room) {
      lines.push_back(std::move(line));
      line = std::string(word);
    } else {
      line = std::move(longer);
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

ChartShape MethodMarker(const MethodInfo& info, ChartPoint at, ChartRole role) {
  ChartShape marker;
  marker.kind = ChartShape::Kind::Marker;
  marker.role = role;
  marker.points = {at};
  marker.marker = info.marker;
  marker.size = kMarkerRadius;
  marker.stroke = info.colour;
  const bool line_only = info.marker == MarkerShape::Plus || info.marker == MarkerShape::Cross;
  marker.width = line_only ? 2.2 : 1.6;
  marker.filled = !line_only;
  marker.fill = info.colour;
  return marker;
}

ChartShape BackgroundShape(const Chart& chart) {
  ChartShape background;
  background.kind = ChartShape::Kind::Rect;
  background.role = ChartRole::Background;
  background.points = {{0, 0}, {static_cast<double>(chart.width), static_cast<double>(chart.height)}};
  background.stroked = false;
  background.filled = true;
  background.fill = kWhite;
  return background;
}

ChartShape FrameShape(const ChartBox& frame) {
  ChartShape shape;
  shape.kind = ChartShape::Kind::Rect;
  shape.role = ChartRole::Frame;
  shape.points = {{frame.left, frame.top}, {frame.right, frame.bottom}};
  return shape;
}

}  // namespace kavrin
