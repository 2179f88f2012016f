#include "plot/comparison_charts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "plot/chart_parts.h"
#include "plot/framed_chart.h"
#include "plot/step_size_chart.h"

namespace kavrin {
namespace {

using namespace framed;  // NOLINT(google-build-using-namespace): the shared chart parts, inside plot

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

// A chart of a comparison: its paths' legend entries and sampled steps.
class ComparisonFramed : public FramedChart {
 public:
  ComparisonFramed(const Comparison& c, ChartSize size, const TextWidth& measure)
      : FramedChart(size, measure), m_c(c) {}

 protected:
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
};

class PhaseBuilder : public ComparisonFramed {
 public:
  using ComparisonFramed::ComparisonFramed;

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

class ErrorBuilder : public ComparisonFramed {
 public:
  using ComparisonFramed::ComparisonFramed;

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

class DriftBuilder : public ComparisonFramed {
 public:
  using ComparisonFramed::ComparisonFramed;

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

Chart StepSizeAlongChart(const Comparison& comparison, ChartSize size, const TextWidth& measure) {
  return StepSizeChart(comparison.adaptive, size, measure,
                       comparison.no_pairs.empty() ? "No tolerance given: no steps chosen." : comparison.no_pairs);
}

}  // namespace kavrin
