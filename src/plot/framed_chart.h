#pragma once

// What the charts of methods side by side share: the frame with a legend
// beside it (or below it when narrow), the title, linear ticks, clipped
// curves and the notes. Inside plot only.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "ode/method_table.h"
#include "plot/chart.h"
#include "plot/chart_parts.h"

namespace kavrin {
namespace framed {

inline constexpr double kTitleSize = 15;
inline constexpr double kLabelSize = 13;
inline constexpr double kNoteSize = 12;
inline constexpr Rgb kNoteGrey{70, 70, 70};
inline constexpr Rgb kFieldGrey{170, 170, 170};
inline constexpr Rgb kFloorGrey{110, 110, 110};
inline constexpr Rgb kReferenceColour{190, 0, 120};
// Paths with at most this many steps show a marker at each.
inline constexpr std::size_t kMarkedSteps = 40;

struct Range {
  double low = HUGE_VAL;
  double high = -HUGE_VAL;
  void Include(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool empty() const { return !(low <= high); }
  double span() const { return high - low; }
  // Widened by `margin` of its span on each side; a single value gets room around it.
  Range Padded(double margin) const {
    if (empty()) return {-1, 1};
    const double pad = span() > 0 ? span() * margin : std::max(std::fabs(low), 1.0) * 0.5;
    return {low - pad, high + pad};
  }
};

struct Ticks {
  std::vector<double> values;
  std::vector<std::string> labels;
};

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them; each
// label the shortest text of its decimal value.
inline Ticks LinearTicks(const Range& r, int count) {
  Ticks ticks;
  const double raw = r.span() / count;
  if (!(raw > 0) || !std::isfinite(raw)) return ticks;
  const int e = static_cast<int>(std::floor(std::log10(raw)));
  const double m = raw / std::pow(10.0, e);
  const double nice = m < 1.5 ? 1 : m < 3.5 ? 2 : m < 7.5 ? 5 : 10;
  const double unit = std::pow(10.0, std::abs(e));
  const double step = e >= 0 ? nice * unit : nice / unit;
  const double largest = std::max(std::fabs(r.low), std::fabs(r.high));
  const int digits = std::clamp(static_cast<int>(std::floor(std::log10(largest))) - e + 1, 1, 15);
  for (double k = std::ceil(r.low / step); k <= std::floor(r.high / step); ++k) {
    const double value = e >= 0 ? k * nice * unit : k * nice / unit;
    ticks.values.push_back(value);
    ticks.labels.push_back(value == 0 ? "0" : SignificantText(value, digits));
  }
  return ticks;
}

struct LegendEntry {
  Rgb colour;
  std::optional<MethodInfo> method;  // its marker, if any
  std::string name;
  std::string detail;
  bool dashed = false;
  std::string short_name = name;
};

class FramedChart {
 public:
  FramedChart(ChartSize size, const TextWidth& measure) : m_layout(m_chart, measure), m_wide(Beside(size)) {
    m_chart.width = size.width;
    m_chart.height = size.height;
    m_chart.font_family = kChartFont;
    m_chart.shapes.push_back(BackgroundShape(m_chart));
  }

 protected:
  // The legend beside the frame: on a wide chart, and on a short one (a large
  // font in a small window), where below it would leave no frame.
  static bool Beside(ChartSize size) { return size.width >= 640 || (size.height < 480 && size.width >= 480); }

  double Width() const { return m_chart.width; }
  double Height() const { return m_chart.height; }

  double FrameLeft() const { return m_wide ? 96.0 : 70.0; }
  double FrameRight() const { return m_wide ? Width() - 270.0 : Width() - 16.0; }

  void Begin(const std::string& title, std::size_t legend_rows, const std::string& note) {
    const double left = FrameLeft();
    const double right = FrameRight();
    // Each paragraph of the note (apart by line breaks) wrapped on its own.
    m_note.clear();
    for (std::size_t start = 0; start < note.size();) {
      const std::size_t end = std::min(note.find('\n', start), note.size());
      for (std::string& line :
           Wrap(m_layout, note.substr(start, end - start), m_wide ? 252 - 8 : right - left, kNoteSize))
        m_note.push_back(std::move(line));
      start = end + 1;
    }
    const double rows = static_cast<double>(legend_rows);
    const double note_height = static_cast<double>(m_note.size()) * 16;
    const double below = m_wide ? 0 : rows * 34 + note_height + 14;
    // A chart too small for its legend keeps a frame of some height; the legend runs off it.
    m_chart.frame = {left, 50, right, std::max(Height() - 62 - below, 110.0)};
    m_layout.Add(
        m_layout.Fit(Text(ChartRole::Title, {Width() / 2, 30}, title, kTitleSize, TextAnchor::Middle), Width() - 16));
  }

  void SetScales(const Range& x, const Range& y, bool log_y) {
    m_x = x;
    m_y = y;
    m_log_y = log_y;
    m_chart.data = {x.low, y.high, x.high, y.low};
  }

  ChartPoint At(double x, double y) const {
    const ChartBox& f = m_chart.frame;
    const double v = m_log_y ? std::log10(y) : y;
    return {f.left + (x - m_x.low) / m_x.span() * (f.right - f.left),
            f.bottom - (v - m_y.low) / m_y.span() * (f.bottom - f.top)};
  }

  // Grid lines and labels both ways, the labels thinned so that none overlap.
  void Grid() {
    const ChartBox& f = m_chart.frame;
    const Ticks across = LinearTicks(m_x, m_wide ? 8 : 5);
    Ticks up;
    if (m_log_y) {
      for (int d = static_cast<int>(std::ceil(m_y.low)); d <= static_cast<int>(std::floor(m_y.high)); ++d) {
        up.values.push_back(d);
        up.labels.push_back(SignedExponent(d));
      }
    } else {
      up = LinearTicks(m_y, 6);
    }
    std::vector<ChartShape> across_labels, up_labels;
    for (std::size_t i = 0; i < across.values.size(); ++i) {
      const double px = f.left + (across.values[i] - m_x.low) / m_x.span() * (f.right - f.left);
      m_chart.shapes.push_back(Line(ChartRole::Grid, {px, f.top}, {px, f.bottom}, Rgb{215, 215, 215}, 0.8));
      across_labels.push_back(
          Text(ChartRole::TickLabel, {px, f.bottom + 20}, across.labels[i], kLabelSize, TextAnchor::Middle));
    }
    for (std::size_t i = 0; i < up.values.size(); ++i) {
      const double py = f.bottom - (up.values[i] - m_y.low) / m_y.span() * (f.bottom - f.top);
      m_chart.shapes.push_back(Line(ChartRole::Grid, {f.left, py}, {f.right, py}, Rgb{200, 200, 200}, 0.8));
      ChartShape label =
          Text(ChartRole::TickLabel, {f.left - 8, py + 5}, m_log_y ? "10" : up.labels[i], kLabelSize, TextAnchor::End);
      if (m_log_y) label.superscript = up.labels[i];
      up_labels.push_back(label);
    }
    for (const auto* labels : {&across_labels, &up_labels}) {
      std::vector<ChartBox> boxes;
      for (const ChartShape& label : *labels) boxes.push_back(m_layout.Box(label));
      for (const std::size_t i : Thinned(boxes, labels == &across_labels, labels == &across_labels ? 8 : 2))
        m_layout.Add((*labels)[i]);
    }
  }

  void AxisTitles(const std::string& across, const std::string& up) {
    const ChartBox& f = m_chart.frame;
    m_layout.Add(
        Text(ChartRole::AxisTitle, {(f.left + f.right) / 2, f.bottom + 42}, across, kLabelSize, TextAnchor::Middle));
    ChartShape title =
        Text(ChartRole::AxisTitle, {m_wide ? 22.0 : 14.0, (f.top + f.bottom) / 2}, up, kLabelSize, TextAnchor::Middle);
    title.upright = true;
    m_layout.Add(m_layout.Fit(title, f.bottom - f.top));
  }

  // A polyline in pieces that lie inside the frame.
  void Curve(const std::vector<ChartPoint>& points, Rgb colour, double width, bool dashed = false) {
    ChartShape piece;
    piece.kind = ChartShape::Kind::Polyline;
    piece.role = ChartRole::Curve;
    piece.stroke = colour;
    piece.width = width;
    piece.dashed = dashed;
    const auto flush = [&] {
      if (piece.points.size() >= 2) m_chart.shapes.push_back(piece);
      piece.points.clear();
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
      ChartPoint a = points[i - 1];
      ChartPoint b = points[i];
      if (!ClipSegment(a, b, m_chart.frame)) {
        flush();
        continue;
      }
      if (piece.points.empty() || piece.points.back().x != a.x || piece.points.back().y != a.y) {
        flush();
        piece.points.push_back(a);
      }
      piece.points.push_back(b);
      if (!(b.x == points[i].x && b.y == points[i].y)) flush();
    }
    flush();
  }

  void Markers(const std::vector<ChartPoint>& points, const MethodInfo& info) {
    for (const ChartPoint& p : points)
      if (m_chart.frame.Contains(p)) m_chart.shapes.push_back(MethodMarker(info, p, ChartRole::Marker));
  }

  void Frame() { m_chart.shapes.push_back(FrameShape(m_chart.frame)); }

  // A message in the middle of an empty frame.
  void Message(const std::string& text) {
    const ChartBox& f = m_chart.frame;
    Frame();
    double y = (f.top + f.bottom) / 2 - 10;
    for (const std::string& line : Wrap(m_layout, text, f.right - f.left - 24, kLabelSize)) {
      m_layout.Add(Text(ChartRole::Note, {(f.left + f.right) / 2, y}, line, kLabelSize, TextAnchor::Middle));
      y += 18;
    }
  }

  void Legend(const std::vector<LegendEntry>& entries) {
    const ChartBox& f = m_chart.frame;
    const double left = m_wide ? f.right + 18 : f.left;
    double y = m_wide ? f.top + 8 : f.bottom + 60;
    // A name over its detail, beside the frame where the height allows and
    // always below it.
    const double note_height = static_cast<double>(m_note.size()) * 16;
    const bool two_lines = !m_wide || 58 + static_cast<double>(entries.size()) * 42 + note_height <= Height();
    const double row = m_wide ? 42 : 34;
    for (const LegendEntry& e : entries) {
      m_chart.shapes.push_back(Line(ChartRole::Legend, {left, y}, {left + 28, y}, e.colour, 1.8, e.dashed));
      if (e.method) m_chart.shapes.push_back(MethodMarker(*e.method, {left + 14, y}, ChartRole::Legend));
      // Where the rows are short, the name alone.
      m_layout.Add(m_layout.Fit(Text(ChartRole::Legend, {left + 38, y + 4}, two_lines ? e.name : e.short_name,
                                     two_lines ? kLabelSize : kNoteSize),
                                Width() - (left + 38) - 4));
      if (two_lines && !e.detail.empty()) {
        m_layout.Add(m_layout.Fit(
            Text(ChartRole::Legend, {left + 38, y + 20}, e.detail, kNoteSize, TextAnchor::Start, kNoteGrey),
            Width() - (left + 38) - 4));
      }
      y += two_lines ? row : 18;
    }
    for (const std::string& line : m_note) {
      m_layout.Add(Text(ChartRole::Note, {left, y + 8}, line, kNoteSize, TextAnchor::Start, kNoteGrey));
      y += 16;
    }
  }

  Chart m_chart;
  Layout m_layout;
  bool m_wide;
  std::vector<std::string> m_note;
  Range m_x, m_y;
  bool m_log_y = false;
};

}  // namespace framed
}  // namespace kavrin
