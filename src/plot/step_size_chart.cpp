#include "plot/step_size_chart.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/number_text.h"
#include "plot/chart_parts.h"
#include "plot/framed_chart.h"

namespace kavrin {
namespace {

using namespace framed;  // NOLINT(google-build-using-namespace): the shared chart parts, inside plot

// Runs with at most this many accepted steps show a marker at each.
constexpr std::size_t kMarkedAdaptiveSteps = 200;

class StepSizeBuilder : public FramedChart {
 public:
  StepSizeBuilder(const std::vector<AdaptiveRun>& runs, ChartSize size, const TextWidth& measure,
                  const std::string& empty)
      : FramedChart(size, measure), m_runs(runs), m_empty(empty) {}

  Chart Build() {
    std::string title = "Step size along x";
    if (!m_runs.empty()) {
      const AdaptiveSettings& a = m_runs.front().request.settings;
      title += a.atol == a.rtol ? ", tolerance " + ToleranceText(a.rtol)
                                : ", atol " + ToleranceText(a.atol) + ", rtol " + ToleranceText(a.rtol);
    }
    Begin(title, m_runs.size(),
          "Lines: the accepted steps, a point at the x each ended at; crosses: the steps tried and rejected, at the x "
          "they started from.");
    Range x, y;
    for (const AdaptiveRun& run : m_runs) {
      for (std::size_t i = 1; i < run.march.accepted.size(); ++i) {
        x.Include(run.march.accepted[i].x);
        y.Include(std::log10(run.march.accepted[i].h));
      }
      x.Include(run.march.accepted.front().x);
      for (const RejectedStep& r : run.march.rejected) {
        x.Include(r.x);
        y.Include(std::log10(r.h));
      }
    }
    if (y.empty()) {
      Message(m_empty);
      return std::move(m_chart);
    }
    SetScales(x.Padded(0.02), {std::floor(y.low), std::max(std::ceil(y.high), std::floor(y.low) + 1)}, true);
    Grid();
    AxisTitles("x", "h");
    std::vector<LegendEntry> legend;
    for (const AdaptiveRun& run : m_runs) {
      const MethodInfo& info = Info(run.request.method);
      std::vector<ChartPoint> points;
      for (std::size_t i = 1; i < run.march.accepted.size(); ++i)
        points.push_back(At(run.march.accepted[i].x, run.march.accepted[i].h));
      Curve(points, info.colour, 1.6);
      if (points.size() <= kMarkedAdaptiveSteps) Markers(points, info);
      Rejections(run, info.colour);
      const std::size_t steps = run.march.accepted.size() - 1;
      legend.push_back({info.colour, info, std::string(info.result_name),
                        WholeText(static_cast<double>(steps)) + " steps, " +
                            WholeText(static_cast<double>(run.march.rejected.size())) + " rejected, " +
                            WholeText(static_cast<double>(run.march.evaluations)) + " evaluations",
                        false, std::string(info.caption)});
    }
    Frame();
    Legend(legend);
    return std::move(m_chart);
  }

 private:
  // A cross at each rejected try, at the x it started from.
  void Rejections(const AdaptiveRun& run, Rgb colour) {
    for (const RejectedStep& r : run.march.rejected) {
      const ChartPoint p = At(r.x, r.h);
      if (!m_chart.frame.Contains(p)) continue;
      ChartShape cross;
      cross.kind = ChartShape::Kind::Marker;
      cross.role = ChartRole::Marker;
      cross.marker = MarkerShape::Cross;
      cross.points = {p};
      cross.size = kMarkerRadius;
      cross.stroke = colour;
      cross.width = 1.6;
      m_chart.shapes.push_back(cross);
    }
  }

  const std::vector<AdaptiveRun>& m_runs;
  const std::string& m_empty;
};

}  // namespace

Chart StepSizeChart(const std::vector<AdaptiveRun>& runs, ChartSize size, const TextWidth& measure,
                    const std::string& empty) {
  return StepSizeBuilder(runs, size, measure, empty).Build();
}

}  // namespace kavrin
