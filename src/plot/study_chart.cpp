#include "plot/study_chart.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "core/study_report.h"
#include "plot/chart_parts.h"

namespace kavrin {
namespace {

constexpr Rgb kBandGrey{225, 225, 225};
constexpr Rgb kNoteGrey{70, 70, 70};
constexpr Rgb kGuideGrey{110, 110, 110};
constexpr double kTitleSize = 15;
constexpr double kLabelSize = 13;
constexpr double kNoteSize = 12;
constexpr int kGuideOrders[] = {1, 2, 4, 5};

bool Positive(double value) { return value > 0 && std::isfinite(value); }

bool Drawn(const Study& study, const StudyRun& run) {
  return run.measured() && Positive(run.error) && Positive(Abscissa(study, run));
}
// A sweep run is drawn where its tolerance is honoured: never at the floor.
bool Drawn(const Study& study, const SweepRun& run) {
  return run.drawn() && Positive(run.error) && Positive(Abscissa(study, run));
}

// Every point drawn, fixed or swept: where it stands, its error and its rounding.
struct Point {
  double x, error, rounding;
};
std::vector<Point> DrawnPoints(const Study& study) {
  std::vector<Point> points;
  for (const StudyRun& run : study.runs)
    if (Drawn(study, run)) points.push_back({Abscissa(study, run), run.error, run.rounding});
  for (const SweepRun& run : study.sweep)
    if (Drawn(study, run)) points.push_back({Abscissa(study, run), run.error, run.rounding});
  return points;
}

constexpr double kSweepWidth = 3.4;

// The logarithmic scales: the decades the data span, and where a point falls.
struct Scales {
  ChartBox frame;
  double x0, x1, y0, y1;
  ChartPoint At(double n, double e) const {
    return {frame.left + (std::log10(n) - x0) / (x1 - x0) * (frame.right - frame.left),
            frame.bottom - (std::log10(e) - y0) / (y1 - y0) * (frame.bottom - frame.top)};
  }
};

// The study chart, laid out one part after another, each part keeping clear
// of the texts placed before it.
class StudyChartBuilder {
 public:
  StudyChartBuilder(const Study& study, ChartSize size, const TextWidth& measure)
      : m_study(study), m_layout(m_chart, measure), m_wide(size.width >= 640) {
    m_chart.width = size.width;
    m_chart.height = size.height;
    m_chart.font_family = kChartFont;
    for (const StudyRun& run : study.runs)
      if (std::find(m_methods.begin(), m_methods.end(), run.method) == m_methods.end()) m_methods.push_back(run.method);
    m_pairs = SweepMethods(study);
  }

  Chart Build() {
    Background();
    PlaceFrame();
    Title();
    if (!FindScales()) {
      NothingToShow();
      return std::move(m_chart);
    }
    Band();
    Ticks();
    AxisTitles();
    MethodCurves();
    SweepCurves();
    BandLabel();
    Guides();
    m_chart.shapes.insert(m_chart.shapes.end(), m_curves.begin(), m_curves.end());
    m_chart.shapes.insert(m_chart.shapes.end(), m_markers.begin(), m_markers.end());
    m_chart.shapes.push_back(FrameShape(m_chart.frame));
    Legend();
    return std::move(m_chart);
  }

 private:
  double Width() const { return m_chart.width; }
  double Height() const { return m_chart.height; }

  void Background() { m_chart.shapes.push_back(BackgroundShape(m_chart)); }

  // Beside the frame a legend of 250 pixels; on a narrow chart it goes below,
  // and the room for it and for the note's lines comes off the frame.
  void PlaceFrame() {
    const double frame_left = m_wide ? 90.0 : 64.0;
    const double frame_right = m_wide ? Width() - 270.0 : Width() - 16.0;
    std::string note = m_methods.empty()
                           ? ""
                           : "Solid: the error at N steps. Dotted: truncation alone, the run repeated in wider "
                             "arithmetic. ";
    note += "Grey: the runs' own rounding.";
    if (!m_methods.empty()) note += " Hollow markers: rounding dominates, no order.";
    if (!m_pairs.empty()) note += " Thick: steps chosen by the method, one point per tolerance (" + SweepRange() + ").";
    const double beside = Width() - (frame_right + 18) - 8;
    m_note = Wrap(m_layout, note, m_wide ? beside : frame_right - frame_left, kNoteSize);
    const double count = static_cast<double>(m_methods.size() + m_pairs.size());
    // Beside the frame each method takes two lines where the height allows,
    // else one line, as below the frame; where even then the note does not
    // fit beside the legend, it says only what the lines are.
    auto fits = [&](double rows) {
      return 58 + count * rows + static_cast<double>(m_note.size()) * 16 + 12 <= Height();
    };
    m_two_lines = m_wide && fits(42);
    if (m_wide && !fits(18)) {
      std::string brief = m_methods.empty() ? "" : "Solid: N steps; dotted: truncation. ";
      if (!m_pairs.empty()) brief += "Thick: tolerances " + SweepRange() + ".";
      m_note = Wrap(m_layout, brief, beside, kNoteSize);
    }
    const double note_height = static_cast<double>(m_note.size()) * 16;
    const double below = m_wide ? 0 : count * 18 + note_height + 14;
    m_chart.frame = {frame_left, 50, frame_right, Height() - 70 - below};
  }

  // The title, smaller where the chart is narrow.
  void Title() {
    const std::string title =
        "Error at x1 = " + RoundTripText(m_study.x1) + " against " + std::string(AxisOf(m_study.against).caption);
    m_layout.Add(
        m_layout.Fit(Text(ChartRole::Title, {Width() / 2.0, 30}, title, kTitleSize, TextAnchor::Middle), Width() - 16));
  }

  // The decades the data span: across, the runs' abscissas; upwards, their
  // errors and rounding (truncation below them is clipped at the frame).
  // False when there is nothing to draw.
  bool FindScales() {
    double n_low = HUGE_VAL, n_high = -HUGE_VAL, e_low = HUGE_VAL, e_high = -HUGE_VAL;
    for (const Point& p : DrawnPoints(m_study)) {
      n_low = std::min(n_low, p.x);
      n_high = std::max(n_high, p.x);
      e_low = std::min(e_low, p.error);
      if (Positive(p.rounding)) e_low = std::min(e_low, p.rounding);
      e_high = std::max(e_high, p.error);
    }
    if (!(e_low <= e_high) || !(n_low <= n_high)) return false;
    // N spans its own range with a margin; the errors whole decades.
    const double span = std::max(std::log10(n_high) - std::log10(n_low), 0.5);
    const double y0 = std::floor(std::log10(e_low));
    m_scales = {m_chart.frame, std::log10(n_low) - span * 0.04, std::log10(n_high) + span * 0.04, y0,
                std::max(std::ceil(std::log10(e_high)), y0 + 1)};
    m_n_high = n_high;
    return true;
  }

  void NothingToShow() {
    const ChartBox& frame = m_chart.frame;
    m_chart.shapes.push_back(FrameShape(m_chart.frame));
    const std::string message =
        m_study.reference.valid() ? "No error to show" : "No reference: the solution grows without bound before x1";
    m_layout.Add(m_layout.Fit(Text(ChartRole::Note, {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2},
                                   message, kLabelSize, TextAnchor::Middle),
                              frame.right - frame.left - 8));
  }

  // The band of the runs' own rounding, measured: under the largest rounding
  // at each abscissa (or the reference's reach, if larger), carried flat to
  // the frame's edges. Rounding grows with the work done: the band keeps the
  // largest so far.
  void Band() {
    std::vector<std::pair<double, double>> reach;
    for (const Point& p : DrawnPoints(m_study)) {
      const double top = std::max(Positive(p.rounding) ? p.rounding : 0.0, 10 * m_study.reference.error_bound);
      const double x = p.x;
      const auto same = std::find_if(reach.begin(), reach.end(), [x](const auto& p) { return p.first == x; });
      if (same == reach.end())
        reach.emplace_back(x, top);
      else
        same->second = std::max(same->second, top);
    }
    std::sort(reach.begin(), reach.end());
    for (std::size_t i = 1; i < reach.size(); ++i) reach[i].second = std::max(reach[i].second, reach[i - 1].second);
    const ChartBox& frame = m_chart.frame;
    ChartShape band;
    band.kind = ChartShape::Kind::Polygon;
    band.role = ChartRole::Band;
    band.stroked = false;
    band.filled = true;
    band.fill = kBandGrey;
    auto clamped = [&](ChartPoint p) {
      p.y = std::clamp(p.y, frame.top, frame.bottom);
      return p;
    };
    band.points.push_back({frame.left, frame.bottom});
    if (!reach.empty()) {
      band.points.push_back(clamped({frame.left, m_scales.At(1, std::max(reach.front().second, 1e-300)).y}));
      for (const auto& [x, top] : reach) band.points.push_back(clamped(m_scales.At(x, std::max(top, 1e-300))));
      band.points.push_back(clamped({frame.right, m_scales.At(1, std::max(reach.back().second, 1e-300)).y}));
    }
    band.points.push_back({frame.right, frame.bottom});
    m_chart.shapes.push_back(band);
  }

  // Ticks across: decades where two or more fall in the range, else the
  // study's abscissas; each with its label.
  std::vector<double> AcrossTicks(std::vector<ChartShape>& labels) const {
    const Scales& s = m_scales;
    const double label_y = m_chart.frame.bottom + 20;
    std::vector<double> across;
    std::vector<int> decades;
    for (int d = static_cast<int>(std::ceil(s.x0)); d <= static_cast<int>(std::floor(s.x1)); ++d) decades.push_back(d);
    if (decades.size() >= 2) {
      for (const int d : decades) {
        across.push_back(std::pow(10.0, d));
        ChartShape label =
            Text(ChartRole::TickLabel, {s.At(across.back(), 1).x, label_y}, "10", kLabelSize, TextAnchor::Middle);
        label.superscript = SignedExponent(d);
        labels.push_back(label);
      }
      return across;
    }
    for (const Point& p : DrawnPoints(m_study))
      if (std::find(across.begin(), across.end(), p.x) == across.end()) across.push_back(p.x);
    std::sort(across.begin(), across.end());
    for (const double n : across)
      labels.push_back(
          Text(ChartRole::TickLabel, {s.At(n, 1).x, label_y}, RoundTripText(n), kLabelSize, TextAnchor::Middle));
    return across;
  }

  // Decade ticks both ways, the grid through them, and their labels thinned
  // so that none overlap.
  void Ticks() {
    const Scales& s = m_scales;
    const ChartBox& frame = m_chart.frame;
    std::vector<ChartShape> across_labels;
    const std::vector<double> across = AcrossTicks(across_labels);
    std::vector<ChartShape> up_labels;
    std::vector<double> up;
    for (int d = static_cast<int>(s.y0); d <= static_cast<int>(s.y1); ++d) {
      up.push_back(std::pow(10.0, d));
      ChartShape label =
          Text(ChartRole::TickLabel, {frame.left - 8, s.At(1, up.back()).y + 5}, "10", kLabelSize, TextAnchor::End);
      label.superscript = SignedExponent(d);
      up_labels.push_back(label);
    }
    for (const double n : across)
      m_chart.shapes.push_back(
          Line(ChartRole::Grid, {s.At(n, 1).x, frame.top}, {s.At(n, 1).x, frame.bottom}, Rgb{215, 215, 215}, 0.8));
    for (const double e : up)
      m_chart.shapes.push_back(
          Line(ChartRole::Grid, {frame.left, s.At(1, e).y}, {frame.right, s.At(1, e).y}, Rgb{200, 200, 200}, 0.8));
    for (const auto* labels : {&across_labels, &up_labels}) {
      std::vector<ChartBox> boxes;
      for (const ChartShape& label : *labels) boxes.push_back(m_layout.Box(label));
      for (const std::size_t i : Thinned(boxes, labels == &across_labels, labels == &across_labels ? 8 : 2))
        m_layout.Add((*labels)[i]);
    }
  }

  void AxisTitles() {
    const ChartBox& frame = m_chart.frame;
    // Steps chosen under a tolerance count every step tried.
    const std::string across =
        !m_pairs.empty() && m_study.against == Against::Evaluations
            ? "evaluations of the system (stages \xC3\x97 steps tried)"
        : !m_pairs.empty() && m_study.against == Against::Steps
            ? (m_methods.empty() ? "number of steps accepted" : "number of steps (N, or those accepted)")
            : std::string(AxisOf(m_study.against).axis_title);
    m_layout.Add(
        m_layout.Fit(Text(ChartRole::AxisTitle, {(frame.left + frame.right) / 2, frame.bottom + 44}, across, kLabelSize,
                          TextAnchor::Middle),
                     2 * std::min((frame.left + frame.right) / 2, Width() - (frame.left + frame.right) / 2) - 8));
    ChartShape y_title =
        Text(ChartRole::AxisTitle, {m_wide ? 24.0 : 16.0, (frame.top + frame.bottom) / 2},
             "error, the larger of |y1 \xE2\x88\x92 ref| and |y2 \xE2\x88\x92 ref|", kLabelSize, TextAnchor::Middle);
    y_title.upright = true;
    m_layout.Add(m_layout.Fit(y_title, frame.bottom - frame.top));
  }

  // A method's truncation alone, dotted, in pieces clipped to the frame.
  void TruncationPieces(const MethodInfo& info) {
    ChartShape piece;
    piece.role = ChartRole::Curve;
    piece.stroke = info.colour;
    piece.dashed = true;
    std::optional<ChartPoint> last;
    for (const StudyRun& run : m_study.runs) {
      if (run.method != info.method || !Drawn(m_study, run) || !Positive(run.truncation)) continue;
      const ChartPoint t = m_scales.At(Abscissa(m_study, run), run.truncation);
      ChartPoint a = last.value_or(t);
      ChartPoint b = t;
      if (last && ClipSegment(a, b, m_chart.frame)) {
        piece.points = {a, b};
        m_curves.push_back(piece);
      }
      last = t;
    }
  }

  // The methods: lines through the points, markers hollow at the floor. The
  // markers' places are taken before any label is placed.
  void MethodCurves() {
    for (const Method method : m_methods) {
      const MethodInfo& info = Info(method);
      ChartShape curve;
      curve.kind = ChartShape::Kind::Polyline;
      curve.role = ChartRole::Curve;
      curve.stroke = info.colour;
      curve.width = 1.6;
      TruncationPieces(info);
      for (const StudyRun& run : m_study.runs) {
        if (run.method != method || !Drawn(m_study, run)) continue;
        const ChartPoint p = m_scales.At(Abscissa(m_study, run), run.error);
        if (!curve.points.empty()) m_segments.emplace_back(curve.points.back(), p);
        curve.points.push_back(p);
        ChartShape marker = MethodMarker(info, p, ChartRole::Marker);
        if (run.mark == Mark::RoundOff) marker.fill = kWhite;
        m_markers.push_back(marker);
        m_layout.Take(
            {p.x - kMarkerRadius - 1, p.y - kMarkerRadius - 1, p.x + kMarkerRadius + 1, p.y + kMarkerRadius + 1});
      }
      // The solid curve goes after the method's dotted pieces.
      if (curve.points.size() >= 2) m_curves.push_back(curve);
    }
  }

  // The tolerances swept, first to last: "10⁻³ to 10⁻¹²".
  std::string SweepRange() const {
    double high = 0, low = HUGE_VAL;
    for (const SweepRun& run : m_study.sweep) {
      high = std::max(high, run.tolerance);
      low = std::min(low, run.tolerance);
    }
    return high == low ? ToleranceText(high) : ToleranceText(high) + " to " + ToleranceText(low);
  }

  // The pairs choosing their steps: a thick line through their honoured
  // tolerances, in the method's colour and marker.
  void SweepCurves() {
    for (const Method method : m_pairs) {
      const MethodInfo& info = Info(method);
      ChartShape curve;
      curve.kind = ChartShape::Kind::Polyline;
      curve.role = ChartRole::Curve;
      curve.stroke = info.colour;
      curve.width = kSweepWidth;
      for (const SweepRun& run : m_study.sweep) {
        if (run.method != method || !Drawn(m_study, run)) continue;
        const ChartPoint p = m_scales.At(Abscissa(m_study, run), run.error);
        if (!curve.points.empty()) m_segments.emplace_back(curve.points.back(), p);
        curve.points.push_back(p);
        ChartShape marker = MethodMarker(info, p, ChartRole::Marker);
        marker.size = kMarkerRadius + 1.5;
        m_markers.push_back(marker);
        m_layout.Take(
            {p.x - kMarkerRadius - 3, p.y - kMarkerRadius - 3, p.x + kMarkerRadius + 3, p.y + kMarkerRadius + 3});
      }
      if (curve.points.size() >= 2) m_curves.push_back(curve);
    }
  }

  // The band's label, where it covers no marker: at the bottom left, else
  // the bottom right, else the top left.
  void BandLabel() {
    const ChartBox& frame = m_chart.frame;
    const std::string text = "rounding of the runs, measured";
    std::vector<ChartShape> labels;
    for (const auto& [point, anchor] : {std::pair{ChartPoint{frame.left + 6, frame.bottom - 6}, TextAnchor::Start},
                                        std::pair{ChartPoint{frame.right - 6, frame.bottom - 6}, TextAnchor::End},
                                        std::pair{ChartPoint{frame.left + 6, frame.top + 16}, TextAnchor::Start}})
      labels.push_back(m_layout.Fit(Text(ChartRole::Note, point, text, kNoteSize, anchor, Rgb{90, 90, 90}),
                                    frame.right - frame.left - 12));
    const auto free = std::find_if(labels.begin(), labels.end(),
                                   [&](const ChartShape& label) { return m_layout.Free(m_layout.Box(label)); });
    m_layout.Add(free != labels.end() ? *free : labels.front());
  }

  // Guide slopes, each through the first point of the first method of its
  // order, raised by a factor of 4 so that it runs beside the data; clipped
  // to the frame.
  void Guides() {
    for (const int order : kGuideOrders) {
      const auto anchor = std::find_if(m_study.runs.begin(), m_study.runs.end(), [&](const StudyRun& run) {
        return Drawn(m_study, run) && run.mark != Mark::RoundOff && Info(run.method).order == order;
      });
      if (anchor == m_study.runs.end() || Abscissa(m_study, *anchor) >= m_n_high) continue;
      const double e_start = anchor->error * 4;
      const double x_start = Abscissa(m_study, *anchor);
      ChartPoint a = m_scales.At(x_start, e_start);
      ChartPoint b = m_scales.At(m_n_high, e_start * std::pow(x_start / m_n_high, order));
      if (!ClipSegment(a, b, m_chart.frame)) continue;
      m_guides.emplace_back(a, b);
      m_guide_orders.push_back(order);
      m_chart.shapes.push_back(Line(ChartRole::Guide, a, b, kGuideGrey, 1.2, true));
    }
    for (std::size_t g = 0; g < m_guides.size(); ++g) GuideLabel(g);
  }

  // A guide's label where it lies inside the frame and overlaps nothing: no
  // text, marker, curve or guide.
  void GuideLabel(std::size_t g) {
    const ChartBox& frame = m_chart.frame;
    const auto [a, b] = m_guides[g];
    for (const double t : {0.5, 0.35, 0.65, 0.2, 0.8, 0.1, 0.9}) {
      const ChartPoint p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
      for (const double dy : {-6.0, 16.0}) {
        ChartShape label = Text(ChartRole::GuideLabel, {p.x + 6, p.y + dy},
                                "\xE2\x88\x9D " + std::string(AxisOf(m_study.against).unit), kNoteSize,
                                TextAnchor::Start, Rgb{85, 85, 85});
        label.superscript = SignedExponent(-m_guide_orders[g]);
        const ChartBox box = m_layout.Box(label);
        const bool inside =
            box.left >= frame.left && box.right <= frame.right && box.top >= frame.top && box.bottom <= frame.bottom;
        const auto crosses = [&box](const std::pair<ChartPoint, ChartPoint>& s) {
          return Crosses(s.first, s.second, box);
        };
        if (inside && m_layout.Free(box) && std::none_of(m_segments.begin(), m_segments.end(), crosses) &&
            std::none_of(m_guides.begin(), m_guides.end(), crosses)) {
          m_layout.Add(label);
          return;
        }
      }
    }
  }

  // The legend, with each method's observed order, then the note.
  void Legend() {
    const ChartBox& frame = m_chart.frame;
    const double left = m_wide ? frame.right + 18 : frame.left;
    double y = m_wide ? frame.top + 8 : frame.bottom + 62;
    for (const Method method : m_methods) {
      const MethodInfo& info = Info(method);
      const std::optional<double> order = FittedOrder(m_study, method);
      const std::string order_text = order ? "order " + FixedText(*order, 2, ".") : "no order measured";
      m_chart.shapes.push_back(Line(ChartRole::Legend, {left, y}, {left + 28, y}, info.colour, 1.6));
      m_chart.shapes.push_back(MethodMarker(info, {left + 14, y}, ChartRole::Legend));
      // The result-line name over the order, or the shorter caption and the
      // order on one line. Each smaller if need be.
      ChartShape name =
          m_two_lines
              ? Text(ChartRole::Legend, {left + 38, y + 4}, std::string(info.result_name), kLabelSize)
              : Text(ChartRole::Legend, {left + 38, y + 4}, std::string(info.caption) + ", " + order_text, kNoteSize);
      m_layout.Add(m_layout.Fit(name, Width() - (left + 38) - 4));
      if (m_two_lines) {
        m_layout.Add(Text(ChartRole::Legend, {left + 38, y + 20}, order_text, kNoteSize, TextAnchor::Start, kNoteGrey));
        y += 42;
      } else {
        y += 18;
      }
    }
    for (const Method method : m_pairs) {
      const MethodInfo& info = Info(method);
      const std::optional<double> slope = ToleranceSlope(m_study, method);
      const std::string slope_text =
          slope ? "error \xE2\x88\x9D tol^" + FixedText(*slope, 2, ".") : "too few tolerances honoured";
      m_chart.shapes.push_back(Line(ChartRole::Legend, {left, y}, {left + 28, y}, info.colour, kSweepWidth));
      ChartShape marker = MethodMarker(info, {left + 14, y}, ChartRole::Legend);
      marker.size = kMarkerRadius + 1.5;
      m_chart.shapes.push_back(marker);
      const std::string name = std::string(info.caption) + ", adaptive";
      ChartShape label = m_two_lines ? Text(ChartRole::Legend, {left + 38, y + 4}, name, kLabelSize)
                                     : Text(ChartRole::Legend, {left + 38, y + 4}, name, kNoteSize);
      m_layout.Add(m_layout.Fit(label, Width() - (left + 38) - 4));
      if (m_two_lines) {
        m_layout.Add(Text(ChartRole::Legend, {left + 38, y + 20}, slope_text, kNoteSize, TextAnchor::Start, kNoteGrey));
        y += 42;
      } else {
        y += 18;
      }
    }
    for (const std::string& line : m_note) {
      m_layout.Add(Text(ChartRole::Note, {left, y + 8}, line, kNoteSize, TextAnchor::Start, kNoteGrey));
      y += 16;
    }
  }

  const Study& m_study;
  Chart m_chart;
  Layout m_layout;
  bool m_wide;
  bool m_two_lines = false;
  std::vector<Method> m_methods;
  std::vector<Method> m_pairs;  // the sweep's
  std::vector<std::string> m_note;
  Scales m_scales{};
  double m_n_high = 0;
  std::vector<std::pair<ChartPoint, ChartPoint>> m_segments;  // the error curves' segments
  std::vector<std::pair<ChartPoint, ChartPoint>> m_guides;
  std::vector<int> m_guide_orders;
  std::vector<ChartShape> m_curves;
  std::vector<ChartShape> m_markers;
};

}  // namespace

Chart StudyChart(const Study& study, ChartSize size, const TextWidth& measure) {
  return StudyChartBuilder(study, size, measure).Build();
}

ChartSize StudyChartSize(int available_width) {
  const int width = std::clamp(available_width, 320, kSavedChartSize.width);
  return {width, width < 640 ? 720 : kSavedChartSize.height};
}

}  // namespace kavrin
