// The comparison's charts as models: the direction field points along the
// equations, the paths are the press's tables at the sampled steps, and every
// chart keeps its texts inside it, with or without a reference.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "core/session.h"
#include "plot/comparison_charts.h"
#include "plot/stability_chart.h"

namespace kavrin {
namespace {

Comparison Compared(std::shared_ptr<const Problem> problem, const ComparisonTexts& texts) {
  Outcome<Comparison> c = RunComparison(ReadComparisonRequest(std::move(problem), texts).value());
  EXPECT_TRUE(c.ok());
  return std::move(c.value());
}

// From a pixel back to the data the frame shows.
struct Inverse {
  const Chart& chart;
  double X(double px) const {
    return chart.data.left +
           (px - chart.frame.left) / (chart.frame.right - chart.frame.left) * (chart.data.right - chart.data.left);
  }
  double Y(double py) const {
    return chart.data.bottom +
           (chart.frame.bottom - py) / (chart.frame.bottom - chart.frame.top) * (chart.data.top - chart.data.bottom);
  }
  ChartPoint At(double x, double y) const {
    const ChartBox& f = chart.frame;
    return {f.left + (x - chart.data.left) / (chart.data.right - chart.data.left) * (f.right - f.left),
            f.bottom - (y - chart.data.bottom) / (chart.data.top - chart.data.bottom) * (f.bottom - f.top)};
  }
};

TEST(PhaseChart, FieldSegmentsFollowTheEquationsAndPathsAreThePressTablesAtTheSampledSteps) {
  // The Van der Pol oscillator depends on y1 and y2 in every direction.
  const auto problem = ReadProblem({"y2", "(1 - y1^2)*y2 - y1", "0", "2", "0"}).value();
  const Comparison c = Compared(problem, {"8", "5000", "euler,rk4", "", "", ""});
  const Chart chart = PhaseChart(c, {900, 600}, EstimatedTextWidth);
  const Inverse inverse{chart};
  const double sx = (chart.frame.right - chart.frame.left) / (chart.data.right - chart.data.left);
  const double sy = (chart.frame.bottom - chart.frame.top) / (chart.data.top - chart.data.bottom);
  int segments = 0;
  double length = -1;
  for (const ChartShape& s : chart.shapes) {
    if (s.role != ChartRole::Guide) continue;
    ++segments;
    const ChartPoint a = s.points[0], b = s.points[1];
    const double y1 = inverse.X((a.x + b.x) / 2), y2 = inverse.Y((a.y + b.y) / 2);
    const double f1 = y2, f2 = (1 - y1 * y1) * y2 - y1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double ex = f1 * sx, ey = -f2 * sy;
    EXPECT_NEAR((dx * ey - dy * ex) / (std::hypot(dx, dy) * std::hypot(ex, ey)), 0, 1e-9);
    EXPECT_GT(dx * ex + dy * ey, 0);
    // One length for all.
    if (length < 0) length = std::hypot(dx, dy);
    EXPECT_NEAR(std::hypot(dx, dy), length, 1e-9);
    EXPECT_TRUE(chart.frame.Contains(a) && chart.frame.Contains(b));
  }
  EXPECT_GT(segments, 100);

  for (const ComparedPath& path : c.paths) {
    Session session;
    ASSERT_FALSE(session.Accept(problem->texts));
    PressRequest press;
    press.x1 = "8";
    press.N = "5000";
    press.method = path.method;
    ASSERT_FALSE(session.Press(press).failure);
    const SolutionTables& table = session.calculation().tables();
    std::vector<ChartPoint> drawn;
    for (const ChartShape& s : chart.shapes)
      if (s.role == ChartRole::Curve && s.stroke == Info(path.method).colour)
        drawn.insert(drawn.end(), s.points.begin(), s.points.end());
    const std::vector<std::size_t> steps =
        SampledSteps(5000, static_cast<std::size_t>(chart.frame.right - chart.frame.left));
    ASSERT_LT(steps.size(), 700u);
    ASSERT_EQ(drawn.size(), steps.size()) << Info(path.method).id;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      const auto i = static_cast<std::int64_t>(steps[k]);
      const ChartPoint expected = inverse.At(table.y1(i), table.y2(i));
      EXPECT_NEAR(drawn[k].x, expected.x, 1e-9);
      EXPECT_NEAR(drawn[k].y, expected.y, 1e-9);
    }
  }
}

// Every text lies inside its chart, for a comparison with a reference and
// an invariant, and for one past the pole without either, wide and narrow.
// The outlines lie on |R(z)| = 1 (Euler's circle |1 + z| = 1 and RK4's
// curve), in equal units both ways.
TEST(StabilityChart, OutlinesLieOnTheRegionsBoundaries) {
  const StabilityStudy s =
      RunStability(ReadComparisonRequest(BuiltInProblem(), {"1", "10", "euler,rk4", "", "", ""}).value()).value();
  const Chart chart = StabilityChart(s, {900, 600}, EstimatedTextWidth);
  const Inverse inverse{chart};
  const double across = (chart.data.right - chart.data.left) / (chart.frame.right - chart.frame.left);
  const double up = (chart.data.top - chart.data.bottom) / (chart.frame.bottom - chart.frame.top);
  EXPECT_NEAR(across / up, 1, 1e-9);
  std::size_t euler = 0, rk4 = 0;
  for (const ChartShape& shape : chart.shapes) {
    if (shape.role != ChartRole::Curve || shape.kind != ChartShape::Kind::Line) continue;
    const bool is_euler = shape.stroke == Info(Method::Euler).colour;
    ASSERT_TRUE(is_euler || shape.stroke == Info(Method::RK4).colour);
    for (const ChartPoint& p : shape.points) {
      const std::complex<double> z(inverse.X(p.x), inverse.Y(p.y));
      const StabilityFunction& r = s.methods[is_euler ? 0 : 1].function;
      EXPECT_NEAR(std::abs(Stability(r, z)), 1, 0.02) << z;
    }
    ++(is_euler ? euler : rk4);
  }
  // A segment per 2-pixel cell along each boundary: Euler's circle is about 2π/across/2 of them.
  EXPECT_GT(euler, 100u);
  EXPECT_GT(rk4, euler);
}

TEST(ComparisonCharts, KeepTheirTextsInsideWithAndWithoutAReference) {
  const Comparison with = Compared(BuiltInProblem(), {"2", "30", AllMethodIds(), "", "y1*y2", ""});
  const Comparison without = Compared(BuiltInProblem(), {"3", "30", AllMethodIds(), "", "", ""});
  const StabilityStudy stability =
      RunStability(ReadComparisonRequest(BuiltInProblem(), {"2.7", "10", AllMethodIds(), "", "", ""}).value()).value();
  for (const Comparison* c : {&with, &without}) {
    for (const ChartSize size : {ChartSize{900, 600}, ChartSize{360, 720}}) {
      for (const Chart& chart :
           {PhaseChart(*c, size, EstimatedTextWidth), ErrorAlongChart(*c, size, EstimatedTextWidth),
            DriftChart(*c, size, EstimatedTextWidth), StabilityChart(stability, size, EstimatedTextWidth)}) {
        for (const ChartShape& s : chart.shapes) {
          if (s.kind != ChartShape::Kind::Text) continue;
          const ChartBox box = TextBox(s, EstimatedTextWidth);
          EXPECT_GE(box.left, -0.5) << s.text;
          EXPECT_LE(box.right, size.width + 0.5) << s.text;
          EXPECT_GE(box.top, -0.5) << s.text;
          EXPECT_LE(box.bottom, size.height + 0.5) << s.text;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kavrin
