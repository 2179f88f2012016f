#include "plot/stability_chart.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "plot/chart_parts.h"
#include "plot/comparison_charts.h"
#include "plot/framed_chart.h"

namespace kavrin {
namespace {

using namespace framed;  // NOLINT(google-build-using-namespace): the shared chart parts, inside plot

constexpr Rgb kPathColour{20, 20, 20};
constexpr Rgb kAxisGrey{120, 120, 120};
// The side of a cell of the grid the regions are found on, in pixels.
constexpr double kCell = 2;

Rgb Tint(Rgb c) {
  auto mix = [](std::uint8_t v) { return static_cast<std::uint8_t>(v + (255 - v) * 4 / 5); };
  return {mix(c.red), mix(c.green), mix(c.blue)};
}

// A method's region on the grid: |R|^2 - 1 at every corner.
struct RegionGrid {
  std::size_t columns = 0;
  std::size_t rows = 0;
  std::vector<double> value;  // (rows + 1) x (columns + 1), row 0 at the top
  std::size_t inside = 0;     // cells inside, for the order of filling
  double at(std::size_t r, std::size_t c) const { return value[r * (columns + 1) + c]; }
};

class StabilityBuilder : public FramedChart {
 public:
  StabilityBuilder(const StabilityStudy& s, ChartSize size, const TextWidth& measure)
      : FramedChart(size, measure), m_s(s) {}

  Chart Build() {
    std::string note = "h·λ: the Jacobian's eigenvalues times h, from x0 (ring) to x1 (dot).";
    if (!m_s.path_end.empty()) note += " " + m_s.path_end;
    // h·λ far beyond the regions (a stiff system) is off the chart: how far it reaches.
    double farthest = 0;
    for (const EigenPoint& p : m_s.path)
      for (const std::complex<double>& l : {p.lambda1, p.lambda2})
        if (l.real() <= 0) farthest = std::max(farthest, std::abs(m_s.h * l));
    if (farthest > 4 * Reach()) note += " h·λ reaches |z| = " + SignificantText(farthest, 3) + ", off the chart.";
    for (const MethodStability& m : m_s.methods) note += "\n" + std::string(Info(m.method).id) + ": " + PathText(m);
    Begin("Stability regions |R(z)| ≤ 1 and h·λ, N = " + WholeText(m_s.N) + " (h = " + SignificantText(m_s.h, 6) + ")",
          m_s.methods.size() + 1, note);
    Scales();
    Grid();
    Regions();
    Axes();
    HLambda();
    Frame();
    AxisTitles("Re z", "Im z");
    std::vector<LegendEntry> legend;
    for (std::size_t i = 0; i < m_s.methods.size(); ++i) {
      const MethodStability& m = m_s.methods[i];
      const MethodInfo& info = Info(m.method);
      const int same = SameAsEarlier(i);
      // The intervals to ten digits under the name; where h·λ leaves, in the note.
      const std::string detail =
          same >= 0 ? "the region of " + std::string(Info(m_s.methods[static_cast<std::size_t>(same)].method).id)
                    : IntervalsText(m);
      legend.push_back(
          {info.colour, std::nullopt, std::string(info.result_name), detail, same >= 0, std::string(info.caption)});
    }
    legend.push_back({kPathColour, std::nullopt, "h·λ along x", "two eigenvalues", false, "h·λ"});
    Legend(legend);
    return std::move(m_chart);
  }

 private:
  // Equal units both ways, holding the regions and, within reason, h·λ.
  // How far the explicit regions reach, and so the chart at least.
  double Reach() const {
    double reach = 2.5;
    for (const MethodStability& m : m_s.methods)
      if (m.function.polynomial()) reach = std::max({reach, m.intervals.real * 1.15, m.intervals.imaginary * 1.15});
    return reach;
  }

  void Scales() {
    const double reach = Reach();
    double up = 2;
    for (const MethodStability& m : m_s.methods) {
      if (!m.function.polynomial()) continue;  // an implicit method's region is unbounded
      up = std::max({up, m.intervals.real, m.intervals.imaginary * 1.2});
    }
    Range x{-reach, reach * 0.45};
    Range y{-up, up};
    // h·λ where the regions hold it (Re λ <= 0), within reason; the rest is clipped.
    for (const EigenPoint& p : m_s.path) {
      for (const std::complex<double>& l : {p.lambda1, p.lambda2}) {
        const std::complex<double> z = m_s.h * l;
        if (z.real() > 0 || std::abs(z) > 4 * reach) continue;
        x.Include(z.real());
        y.Include(z.imag());
      }
    }
    const ChartBox& f = m_chart.frame;
    const double width = f.right - f.left;
    const double height = f.bottom - f.top;
    // Widen the shorter way so that a unit is as long across as up.
    const double per_pixel = std::max(x.span() / width, y.span() / height) * 1.04;
    const double cx = (x.low + x.high) / 2;
    const double cy = (y.low + y.high) / 2;
    SetScales({cx - per_pixel * width / 2, cx + per_pixel * width / 2},
              {cy - per_pixel * height / 2, cy + per_pixel * height / 2}, false);
  }

  RegionGrid Region(const StabilityFunction& function) const {
    const ChartBox& f = m_chart.frame;
    RegionGrid g;
    g.columns = static_cast<std::size_t>(std::ceil((f.right - f.left) / kCell));
    g.rows = static_cast<std::size_t>(std::ceil((f.bottom - f.top) / kCell));
    g.value.resize((g.rows + 1) * (g.columns + 1));
    const double dx = m_x.span() * kCell / (f.right - f.left);
    const double dy = m_y.span() * kCell / (f.bottom - f.top);
    for (std::size_t r = 0; r <= g.rows; ++r) {
      for (std::size_t c = 0; c <= g.columns; ++c) {
        const std::complex<double> z(m_x.low + static_cast<double>(c) * dx, m_y.high - static_cast<double>(r) * dy);
        g.value[r * (g.columns + 1) + c] = std::norm(Stability(function, z)) - 1;
      }
    }
    for (std::size_t r = 0; r < g.rows; ++r)
      for (std::size_t c = 0; c < g.columns; ++c) g.inside += Inside(g, r, c) ? 1 : 0;
    return g;
  }

  // A cell is inside when most of its corners are.
  static bool Inside(const RegionGrid& g, std::size_t r, std::size_t c) {
    const int corners = (g.at(r, c) <= 0) + (g.at(r, c + 1) <= 0) + (g.at(r + 1, c) <= 0) + (g.at(r + 1, c + 1) <= 0);
    return corners >= 2;
  }

  ChartPoint Corner(double r, double c) const {
    const ChartBox& f = m_chart.frame;
    return {std::min(f.left + c * kCell, f.right), std::min(f.top + r * kCell, f.bottom)};
  }

  void Fill(const RegionGrid& g, Rgb colour) {
    for (std::size_t r = 0; r < g.rows; ++r) {
      for (std::size_t c = 0; c < g.columns;) {
        if (!Inside(g, r, c)) {
          ++c;
          continue;
        }
        const std::size_t start = c;
        while (c < g.columns && Inside(g, r, c)) ++c;
        ChartShape run;
        run.kind = ChartShape::Kind::Rect;
        run.role = ChartRole::Band;
        run.points = {Corner(static_cast<double>(r), static_cast<double>(start)),
                      Corner(static_cast<double>(r + 1), static_cast<double>(c))};
        run.filled = true;
        run.stroked = false;
        run.fill = colour;
        m_chart.shapes.push_back(run);
      }
    }
  }

  // The boundary |R| = 1 by marching squares, a segment per cell it crosses.
  void Outline(const RegionGrid& g, Rgb colour, bool dashed) {
    auto cross = [&](double r0, double c0, double v0, double r1, double c1, double v1) {
      const double t = v0 / (v0 - v1);
      return Corner(r0 + (r1 - r0) * t, c0 + (c1 - c0) * t);
    };
    for (std::size_t r = 0; r < g.rows; ++r) {
      for (std::size_t c = 0; c < g.columns; ++c) {
        const double rr = static_cast<double>(r);
        const double cc = static_cast<double>(c);
        const double tl = g.at(r, c), tr = g.at(r, c + 1), bl = g.at(r + 1, c), br = g.at(r + 1, c + 1);
        std::vector<ChartPoint> ends;
        if ((tl <= 0) != (tr <= 0)) ends.push_back(cross(rr, cc, tl, rr, cc + 1, tr));
        if ((tr <= 0) != (br <= 0)) ends.push_back(cross(rr, cc + 1, tr, rr + 1, cc + 1, br));
        if ((br <= 0) != (bl <= 0)) ends.push_back(cross(rr + 1, cc + 1, br, rr + 1, cc, bl));
        if ((bl <= 0) != (tl <= 0)) ends.push_back(cross(rr + 1, cc, bl, rr, cc, tl));
        for (std::size_t k = 0; k + 1 < ends.size(); k += 2)
          m_chart.shapes.push_back(Line(ChartRole::Curve, ends[k], ends[k + 1], colour, 1.6, dashed));
      }
    }
  }

  // The first method before the i-th with the same stability function (the
  // same region), or -1.
  int SameAsEarlier(std::size_t i) const {
    auto near = [](const std::vector<double>& p, const std::vector<double>& q) {
      if (p.size() != q.size()) return false;
      for (std::size_t j = 0; j < p.size(); ++j)
        if (std::fabs(p[j] - q[j]) > 1e-14 * std::fabs(q[j])) return false;
      return true;
    };
    const StabilityFunction& p = m_s.methods[i].function;
    for (std::size_t k = 0; k < i; ++k) {
      const StabilityFunction& q = m_s.methods[k].function;
      if (near(p.numerator, q.numerator) && near(p.denominator, q.denominator)) return static_cast<int>(k);
    }
    return -1;
  }

  void Regions() {
    std::vector<RegionGrid> grids;
    for (const MethodStability& m : m_s.methods) grids.push_back(Region(m.function));
    std::vector<std::size_t> order(grids.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return grids[a].inside > grids[b].inside; });
    for (const std::size_t i : order) Fill(grids[i], Tint(Info(m_s.methods[i].method).colour));
    for (const std::size_t i : order) Outline(grids[i], Info(m_s.methods[i].method).colour, SameAsEarlier(i) >= 0);
  }

  void Axes() {
    const ChartBox& f = m_chart.frame;
    if (m_x.low < 0 && m_x.high > 0) {
      const double px = At(0, 0).x;
      m_chart.shapes.push_back(Line(ChartRole::Guide, {px, f.top}, {px, f.bottom}, kAxisGrey, 1));
    }
    if (m_y.low < 0 && m_y.high > 0) {
      const double py = At(0, 0).y;
      m_chart.shapes.push_back(Line(ChartRole::Guide, {f.left, py}, {f.right, py}, kAxisGrey, 1));
    }
  }

  void HLambda() {
    if (m_s.path.empty()) return;
    const std::size_t columns = static_cast<std::size_t>(std::max(1.0, FrameRight() - FrameLeft()));
    const std::vector<std::size_t> sampled = SampledSteps(m_s.path.size() - 1, columns);
    for (const bool first : {true, false}) {
      std::vector<ChartPoint> points;
      for (const std::size_t i : sampled) {
        const std::complex<double> z = m_s.h * (first ? m_s.path[i].lambda1 : m_s.path[i].lambda2);
        if (std::isfinite(z.real()) && std::isfinite(z.imag())) points.push_back(At(z.real(), z.imag()));
      }
      Curve(points, kPathColour, 2.2);
      if (!points.empty() && m_chart.frame.Contains(points.back())) {
        ChartShape end;
        end.kind = ChartShape::Kind::Marker;
        end.role = ChartRole::Marker;
        end.marker = MarkerShape::Circle;
        end.points = {points.back()};
        end.size = 3;
        end.stroke = kPathColour;
        end.filled = true;
        end.fill = kPathColour;
        m_chart.shapes.push_back(end);
      }
      if (!points.empty() && m_chart.frame.Contains(points.front())) {
        ChartShape ring;
        ring.kind = ChartShape::Kind::Marker;
        ring.role = ChartRole::Marker;
        ring.marker = MarkerShape::Circle;
        ring.points = {points.front()};
        ring.size = kMarkerRadius;
        ring.stroke = kPathColour;
        ring.filled = true;
        ring.fill = kWhite;
        ring.width = 1.6;
        m_chart.shapes.push_back(ring);
      }
    }
  }

  const StabilityStudy& m_s;
};

}  // namespace

Chart StabilityChart(const StabilityStudy& study, ChartSize size, const TextWidth& measure) {
  return StabilityBuilder(study, size, measure).Build();
}

}  // namespace kavrin
