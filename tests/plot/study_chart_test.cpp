// The study's chart model: at step ranges up to 10^8 no two tick labels
// overlap, every guide segment lies inside the frame, every guide label lies
// inside the frame clear of every other text, every text inside the chart, and
// the legend gives each method's order; a tolerance sweep is a thick curve
// per pair through the tolerances honoured.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/number_text.h"
#include "plot/study_chart.h"

namespace kavrin {
namespace {

// A study whose truncation falls as C * N^-order below a rounding that grows
// as the root of N.
Study SyntheticStudy(double last_N) {
  Study study;
  study.x1 = 1;
  study.reference.y1 = 0.9188;
  study.reference.y2 = -0.468;
  study.reference.error_bound = 1e-18;
  study.reference.reached_x1 = true;
  for (std::size_t m = 0; m < kWindowMethodCount; ++m) {
    const MethodInfo& info = kMethods[m];
    for (double N = 10; N <= last_N; N *= 2) {
      StudyRun run;
      run.method = info.method;
      run.N = N;
      run.truncation = 0.3 / std::pow(N, info.order);
      run.rounding = 1e-16 * std::sqrt(N);
      run.error = run.truncation + run.rounding;
      run.mark = run.rounding >= run.truncation ? Mark::RoundOff : N == 10 ? Mark::First : Mark::Ok;
      study.runs.push_back(run);
    }
  }
  // Three pairs choosing their steps at ten tolerances; the smallest is not
  // honoured (rounding dominates), so it is no point.
  for (const Method method : {Method::RKF, Method::RKM, Method::RK4}) {
    for (double tolerance = 1e-3; tolerance > 1e-12 / 2; tolerance /= 10) {
      SweepRun run;
      run.method = method;
      run.tolerance = tolerance;
      run.steps = 3 / std::pow(tolerance, 0.2);
      run.evaluations = 6 * run.steps;
      run.error = tolerance / 3;
      run.truncation = run.error;
      run.rounding = 1e-16;
      run.mark = tolerance < 1e-11 ? Mark::RoundOff : Mark::Ok;
      study.sweep.push_back(run);
    }
  }
  return study;
}

class StudyChartTest : public ::testing::TestWithParam<double> {};

TEST_P(StudyChartTest, LabelsApartAndGuidesInsideTheFrame) {
  for (const auto& [width, height] : {std::pair{900, 600}, std::pair{360, 600}, std::pair{640, 300}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const Chart chart = StudyChart(SyntheticStudy(GetParam()), {width, height}, EstimatedTextWidth);
    std::vector<ChartBox> ticks;
    std::vector<ChartBox> texts;
    int guides = 0;
    int up = 0;  // labels of the error's decades, right-aligned beside the frame
    std::string legend;
    for (const ChartShape& s : chart.shapes) {
      if (s.kind == ChartShape::Kind::Text) texts.push_back(TextBox(s, EstimatedTextWidth));
      if (s.role == ChartRole::TickLabel) {
        ticks.push_back(texts.back());
        up += s.anchor == TextAnchor::End ? 1 : 0;
      }
      if (s.role == ChartRole::Guide) {
        ++guides;
        for (const ChartPoint& p : s.points) {
          EXPECT_GE(p.x, chart.frame.left - 1e-9);
          EXPECT_LE(p.x, chart.frame.right + 1e-9);
          EXPECT_GE(p.y, chart.frame.top - 1e-9);
          EXPECT_LE(p.y, chart.frame.bottom + 1e-9);
        }
      }
      if (s.role == ChartRole::GuideLabel) {
        const ChartBox box = texts.back();
        EXPECT_TRUE(chart.frame.Contains({box.left, box.top}) && chart.frame.Contains({box.right, box.bottom}));
        for (std::size_t i = 0; i + 1 < texts.size(); ++i) EXPECT_FALSE(box.Overlaps(texts[i])) << s.text;
      }
      if (s.kind == ChartShape::Kind::Text) {
        EXPECT_LE(texts.back().right, width) << s.text;
        EXPECT_LE(texts.back().bottom, height) << s.text;
      }
      if (s.role == ChartRole::Legend && s.kind == ChartShape::Kind::Text) legend += s.text + "\n";
    }
    EXPECT_GE(up, 4);
    EXPECT_GE(static_cast<int>(ticks.size()) - up, 4);
    EXPECT_EQ(guides, 4);
    // Each pair's honoured tolerances as one thick curve, named in the legend.
    std::vector<std::size_t> thick;
    for (const ChartShape& s : chart.shapes)
      if (s.role == ChartRole::Curve && s.width > 3) thick.push_back(s.points.size());
    EXPECT_EQ(thick, (std::vector<std::size_t>{9, 9, 9}));
    for (const char* pair : {"Runge-Kutta-Fehlberg, adaptive", "Runge-Kutta-Merson, adaptive"})
      EXPECT_NE(legend.find(pair), std::string::npos) << legend;
    // Each method's fitted order stands in the legend, beside or below the frame.
    const Study study = SyntheticStudy(GetParam());
    for (std::size_t m = 0; m < kWindowMethodCount; ++m) {
      const MethodInfo& info = kMethods[m];
      const std::optional<double> order = FittedOrder(study, info.method);
      ASSERT_TRUE(order);
      EXPECT_NE(legend.find("order " + FixedText(*order, 2, ".")), std::string::npos) << legend;
    }
    for (std::size_t i = 0; i < ticks.size(); ++i)
      for (std::size_t j = i + 1; j < ticks.size(); ++j) EXPECT_FALSE(ticks[i].Overlaps(ticks[j])) << i << " " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, StudyChartTest, ::testing::Values(10485760.0, 1e8));

}  // namespace
}  // namespace kavrin
