#include "plot/comparison_charts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "plot/chart_parts.h"

namespace kavrin {
namespace {

constexpr double kTitleSize = 15;
constexpr double kLabelSize = 13;
constexpr double kNoteSize = 12;
constexpr Rgb kNoteGrey{70, 70, 70};
constexpr Rgb kFieldGrey{170, 170, 170};
constexpr Rgb kFloorGrey{110, 110, 110};
constexpr Rgb kReferenceColour{190, 0, 120};
// Paths with at most this many steps show a marker at each.
constexpr std::size_t kMarkedSteps = 40;

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
Ticks LinearTicks(const Range& r, int count) {
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

// The text of a method's path's end: "reached x1", or where it failed.
std::string PathEnd(const Comparison& c, const ComparedPath& path) {
  if (path.failure.empty()) return c.cancelled ? "cancelled" : "reached x1 = " + RoundTripText(c.x1);
  const std::size_t last = path.tables.filled() - 1;
  const bool domain = path.failure.rfind("Overflow", 0) != 0;
  return "ended at x = " + SignificantText(path.tables.x_data()[last], 6) + ", step " +
         std::to_string(path.failed_step) + ": " + (domain ? "domain error" : "overflow");
}

// Whether an instruction reads a slot: the operands its operation uses.
bool Reads(const Instruction& in, std::uint16_t slot) {
  if (in.op == Op::Constant) return false;
  const bool binary = in.op != Op::Negate && (in.op != Op::Function || Functions()[in.function].arity == 2);
  return in.a == slot || (binary && in.b == slot);
}

// Whether the system's equations use x (slot 0): the built-in system does.
bool DependsOnX(const Problem& problem) {
  if (problem.own == nullptr) return true;
  const Program& program = problem.own->system.program;
  return program.f1 == 0 || program.f2 == 0 ||
         std::any_of(program.code.begin(), program.code.end(), [](const Instruction& in) { return Reads(in, 0); });
}

struct LegendEntry {
  Rgb colour;
  std::optional<MethodInfo> method;  // its marker, if any
  std::string name;
  std::string detail;
  bool dashed = false;
  std::string short_name = name;
};

// What the three charts share: the frame with a legend beside it (or below
// it when narrow), the title, the ticks, clipped curves and the notes.
class FramedChart {
 public:
  FramedChart(const Comparison& c, ChartSize size, const TextWidth& measure)
      : m_c(c), m_layout(m_chart, measure), m_wide(Beside(size)) {
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
    m_note =
        note.empty() ? std::vector<std::string>() : Wrap(m_layout, note, m_wide ? 252 - 8 : right - left, kNoteSize);
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

  LegendEntry MethodEntry(const ComparedPath& path, std::string detail) const {
    const MethodInfo& info = Info(path.method);
    return {info.colour, info, std::string(info.result_name), std::move(detail), false, std::string(info.caption)};
  }

  // The steps drawn of every path: one per pixel column of the frame.
  std::vector<std::size_t> Sampled() const {
    return SampledSteps(static_cast<std::size_t>(m_c.N),
                        static_cast<std::size_t>(std::max(1.0, FrameRight() - FrameLeft())));
  }
  // Those a path reached, and its last step.
  static std::vector<std::size_t> Reached(const std::vector<std::size_t>& sampled, const ComparedPath& path) {
    std::vector<std::size_t> steps;
    const std::size_t rows = path.tables.filled();
    for (const std::size_t i : sampled)
      if (i < rows) steps.push_back(i);
    if (rows > 0 && (steps.empty() || steps.back() != rows - 1)) steps.push_back(rows - 1);
    return steps;
  }

  const Comparison& m_c;
  Chart m_chart;
  Layout m_layout;
  bool m_wide;
  std::vector<std::string> m_note;
  Range m_x, m_y;
  bool m_log_y = false;
};

class PhaseBuilder : public FramedChart {
 public:
  using FramedChart::FramedChart;

  Chart Build() {
    const bool everywhere = !DependsOnX(*m_c.problem);
    std::string note = everywhere ? "Grey segments: the direction of (f1, f2). The system does not depend on x, so the "
                                    "field holds at every x."
                                  : "Grey segments: the direction of (f1, f2) at x = " + RoundTripText(m_c.field_x) +
                                        "; at another x it differs.";
    if (!m_c.has_reference() && !m_c.no_reference.empty()) note += " " + m_c.no_reference;
    Begin("Phase plane, x from " + RoundTripText(m_c.problem->start.x) + " to " + RoundTripText(m_c.x1) +
              ", N = " + WholeText(m_c.N),
          m_c.paths.size() + 1, note);
    const std::vector<std::size_t> sampled = Sampled();
    FindRanges(sampled);
    Grid();
    AxisTitles("y1", "y2");
    Field();
    std::vector<LegendEntry> legend;
    for (const ComparedPath& path : m_c.paths) {
      std::vector<ChartPoint> points;
      for (const std::size_t i : Reached(sampled, path))
        points.push_back(At(path.tables.y1_data()[i], path.tables.y2_data()[i]));
      Curve(points, Info(path.method).colour, 1.6);
      if (m_c.N <= kMarkedSteps) Markers(points, Info(path.method));
      legend.push_back(MethodEntry(path, PathEnd(m_c, path)));
    }
    if (m_c.has_reference()) {
      std::vector<ChartPoint> points;
      points.reserve(sampled.size());
      for (const std::size_t i : sampled) points.push_back(At(m_c.reference.y1[i], m_c.reference.y2[i]));
      Curve(points, kReferenceColour, 1.6, true);
      legend.push_back({kReferenceColour, std::nullopt, "Reference (exact)", "", true});
    }
    StartMark();
    Frame();
    Legend(legend);
    return std::move(m_chart);
  }

 private:
  // The reference and every path that reached x1; a path that left them is
  // held only as far as twice their span.
  void FindRanges(const std::vector<std::size_t>& sampled) {
    Range y1, y2;
    if (m_c.has_reference()) {
      for (const std::size_t i : sampled) {
        y1.Include(m_c.reference.y1[i]);
        y2.Include(m_c.reference.y2[i]);
      }
    }
    for (const ComparedPath& path : m_c.paths) {
      if (!path.failure.empty()) continue;
      for (const std::size_t i : Reached(sampled, path)) {
        y1.Include(path.tables.y1_data()[i]);
        y2.Include(path.tables.y2_data()[i]);
      }
    }
    const State<double>& start = m_c.problem->start;
    y1.Include(start.y1);
    y2.Include(start.y2);
    const Range base1 = y1.Padded(1), base2 = y2.Padded(1);
    for (const ComparedPath& path : m_c.paths) {
      if (path.failure.empty()) continue;
      for (const std::size_t i : Reached(sampled, path)) {
        y1.Include(std::clamp(path.tables.y1_data()[i], base1.low, base1.high));
        y2.Include(std::clamp(path.tables.y2_data()[i], base2.low, base2.high));
      }
    }
    SetScales(y1.Padded(0.05), y2.Padded(0.05), false);
  }

  // Segments of one length on an even grid, each along (f1, f2) as the
  // frame shows it; none where the equations have no value.
  void Field() {
    const ChartBox& f = m_chart.frame;
    const int across = m_wide ? 22 : 14;
    const double cell = (f.right - f.left) / across;
    const int up = std::max(2, static_cast<int>((f.bottom - f.top) / cell));
    const double cell_up = (f.bottom - f.top) / up;
    const double half = 0.36 * std::min(cell, cell_up);
    const double sx = (f.right - f.left) / m_x.span();
    const double sy = (f.bottom - f.top) / m_y.span();
    WithSystem(*m_c.problem, [&](const auto& system) {
      for (int i = 0; i < across; ++i) {
        for (int j = 0; j < up; ++j) {
          const ChartPoint centre{f.left + (i + 0.5) * cell, f.top + (j + 0.5) * cell_up};
          const double y1 = m_x.low + (centre.x - f.left) / sx;
          const double y2 = m_y.low + (f.bottom - centre.y) / sy;
          const auto d = system(m_c.field_x, y1, y2);
          const double dx = d.d1 * sx;
          const double dy = -d.d2 * sy;
          const double length = std::hypot(dx, dy);
          if (!std::isfinite(length) || length == 0) continue;
          const double ux = dx / length * half;
          const double uy = dy / length * half;
          m_chart.shapes.push_back(
              Line(ChartRole::Guide, {centre.x - ux, centre.y - uy}, {centre.x + ux, centre.y + uy}, kFieldGrey, 1.1));
        }
      }
      return 0;
    });
  }

  void StartMark() {
    const State<double>& start = m_c.problem->start;
    const ChartPoint p = At(start.y1, start.y2);
    if (!m_chart.frame.Contains(p)) return;
    ChartShape mark;
    mark.kind = ChartShape::Kind::Marker;
    mark.role = ChartRole::Marker;
    mark.points = {p};
    mark.size = 6;
    mark.width = 2;
    mark.stroke = kBlack;
    mark.filled = true;
    mark.fill = kWhite;
    m_chart.shapes.push_back(mark);
    ChartShape label = Text(ChartRole::Note, {p.x + 9, p.y - 8}, "start", kNoteSize);
    if (m_layout.Box(label).right > m_chart.frame.right - 2)
      label = Text(ChartRole::Note, {p.x - 9, p.y - 8}, "start", kNoteSize, TextAnchor::End);
    m_layout.Add(label);
  }
};

class ErrorBuilder : public FramedChart {
 public:
  using FramedChart::FramedChart;

  Chart Build() {
    Begin("Error along x, N = " + WholeText(m_c.N), m_c.paths.size() + 1,
          "Error: the larger of |y1 \xE2\x88\x92 ref| and |y2 \xE2\x88\x92 ref|. Values equal to the reference to "
          "the last bit sit on the floor.");
    if (!m_c.has_reference()) {
      Message(m_c.cancelled ? std::string("Cancelled: no error to show.") : m_c.no_reference);
      return std::move(m_chart);
    }
    const std::vector<std::size_t> sampled = Sampled();
    Range x, y;
    x.Include(m_c.problem->start.x);
    x.Include(m_c.last_x);
    x.Include(m_c.x1);
    for (const ComparedPath& path : m_c.paths)
      for (const std::size_t i : Reached(sampled, path)) y.Include(std::log10(Shown(path, i)));
    for (const std::size_t i : sampled) y.Include(std::log10(m_c.RoundingFloor(i)));
    if (y.empty()) {
      Message("No error to show.");
      return std::move(m_chart);
    }
    const double top = std::max(std::ceil(y.high), std::floor(y.low) + 1);
    SetScales(x.Padded(0), {std::floor(y.low), top}, true);
    Grid();
    AxisTitles("x", "error");
    std::vector<ChartPoint> floor;
    for (const std::size_t i : sampled)
      if (m_c.RoundingFloor(i) > 0 && std::isfinite(m_c.X(i))) floor.push_back(At(m_c.X(i), m_c.RoundingFloor(i)));
    Curve(floor, kFloorGrey, 1.2, true);
    std::vector<LegendEntry> legend;
    for (const ComparedPath& path : m_c.paths) {
      std::vector<ChartPoint> points;
      for (const std::size_t i : Reached(sampled, path)) points.push_back(At(path.tables.x_data()[i], Shown(path, i)));
      Curve(points, Info(path.method).colour, 1.6);
      if (m_c.N <= kMarkedSteps) Markers(points, Info(path.method));
      legend.push_back(MethodEntry(
          path, path.failure.empty() ? "largest error " + SignificantText(path.largest_error, 3) : PathEnd(m_c, path)));
    }
    legend.push_back(
        {kFloorGrey, std::nullopt, "Rounding floor of double", "2\xE2\x81\xBB\xE2\x81\xB5\xC2\xB3 of |ref|", true});
    Frame();
    Legend(legend);
    return std::move(m_chart);
  }

 private:
  // The error, or the floor where it is smaller (a value equal to the
  // reference has none).
  double Shown(const ComparedPath& path, std::size_t i) const {
    const double floor = m_c.RoundingFloor(i) > 0 ? m_c.RoundingFloor(i) : 0x1p-1074;
    const double e = m_c.Error(path, i);
    return std::isfinite(e) ? std::max(e, floor) : HUGE_VAL;
  }
};

class DriftBuilder : public FramedChart {
 public:
  using FramedChart::FramedChart;

  Chart Build() {
    const std::string title =
        m_c.invariant ? "Drift of H = " + m_c.invariant->text : std::string("Drift of an invariant");
    const std::vector<std::size_t> sampled = Sampled();
    std::size_t undefined = 0, drawn = 0;
    for (const ComparedPath& path : m_c.paths) {
      for (const std::size_t i : Reached(sampled, path)) {
        ++drawn;
        if (m_c.invariant && std::isnan(m_c.Drift(path, i))) ++undefined;
      }
    }
    const std::string note = undefined == 0 ? std::string()
                                            : "H has no value at " + std::to_string(undefined) + " of the " +
                                                  std::to_string(drawn) + " points drawn: they are left out.";
    Begin(title, m_c.paths.size(), note);
    if (!m_c.invariant) {
      Message(
          "No invariant: enter a quantity H(x, y1, y2) that the exact solution keeps constant to see how each "
          "method lets it drift.");
      return std::move(m_chart);
    }
    Range x, y;
    x.Include(m_c.problem->start.x);
    x.Include(m_c.last_x);
    x.Include(m_c.x1);
    for (const ComparedPath& path : m_c.paths)
      for (const std::size_t i : Reached(sampled, path)) y.Include(m_c.Drift(path, i));
    y.Include(0);
    SetScales(x.Padded(0), y.Padded(0.05), false);
    Grid();
    AxisTitles("x", "H \xE2\x88\x92 H(start)");
    std::vector<LegendEntry> legend;
    for (const ComparedPath& path : m_c.paths) {
      std::vector<ChartPoint> points;
      double last = 0;
      for (const std::size_t i : Reached(sampled, path)) {
        const double drift = m_c.Drift(path, i);
        if (std::isnan(drift)) {
          Curve(points, Info(path.method).colour, 1.6);
          points.clear();
          continue;
        }
        points.push_back(At(path.tables.x_data()[i], drift));
        last = drift;
      }
      Curve(points, Info(path.method).colour, 1.6);
      legend.push_back(
          MethodEntry(path, path.failure.empty() ? "drift at x1 " + SignificantText(last, 3) : PathEnd(m_c, path)));
    }
    Frame();
    Legend(legend);
    return std::move(m_chart);
  }
};

}  // namespace

std::vector<std::size_t> SampledSteps(std::size_t steps, std::size_t columns) {
  std::vector<std::size_t> sampled;
  if (steps <= columns) {
    for (std::size_t i = 0; i <= steps; ++i) sampled.push_back(i);
    return sampled;
  }
  for (std::size_t k = 0; k <= columns; ++k)
    sampled.push_back(
        static_cast<std::size_t>(static_cast<double>(k) * static_cast<double>(steps) / static_cast<double>(columns)));
  sampled.back() = steps;
  return sampled;
}

Chart PhaseChart(const Comparison& comparison, ChartSize size, const TextWidth& measure) {
  return PhaseBuilder(comparison, size, measure).Build();
}

Chart ErrorAlongChart(const Comparison& comparison, ChartSize size, const TextWidth& measure) {
  return ErrorBuilder(comparison, size, measure).Build();
}

Chart DriftChart(const Comparison& comparison, ChartSize size, const TextWidth& measure) {
  return DriftBuilder(comparison, size, measure).Build();
}

Chart ErrorAndDriftChart(const Comparison& comparison, ChartSize size, const TextWidth& measure) {
  const ChartSize half{size.width, size.height / 2};
  Chart chart = ErrorAlongChart(comparison, half, measure);
  Chart lower = DriftChart(comparison, half, measure);
  for (ChartShape& shape : lower.shapes) {
    for (ChartPoint& p : shape.points) p.y += half.height;
    chart.shapes.push_back(std::move(shape));
  }
  chart.height = size.height;
  return chart;
}

}  // namespace kavrin
