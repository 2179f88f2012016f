#include "plot/study_chart.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "core/study_report.h"

namespace kavrin {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBandGrey{225, 225, 225};
constexpr Rgb kNoteGrey{70, 70, 70};
constexpr Rgb kGuideGrey{110, 110, 110};
constexpr double kTitleSize = 15;
constexpr double kLabelSize = 13;
constexpr double kNoteSize = 12;
constexpr double kMarkerRadius = 4.5;
constexpr int kGuideOrders[] = {1, 2, 4, 5};

constexpr Rgb kColours[kMethodCount] = {{0, 0, 0},     {230, 159, 0}, {86, 180, 233}, {0, 158, 115},
                                        {0, 114, 178}, {213, 94, 0},  {204, 121, 167}};
constexpr MarkerShape kMarkers[kMethodCount] = {
    MarkerShape::Circle,       MarkerShape::Square, MarkerShape::TriangleUp, MarkerShape::Diamond,
    MarkerShape::TriangleDown, MarkerShape::Plus,   MarkerShape::Cross};

bool Positive(double value) { return value > 0 && std::isfinite(value); }

bool Drawn(const Study& study, const StudyRun& run) {
  return run.measured() && Positive(run.error) && Positive(Abscissa(study, run));
}

// The horizontal axis in words: the title's end, the axis title, and the
// unit a guide's slope is given in.
struct AxisWords {
  const char* title;
  const char* axis;
  const char* unit;
};

AxisWords Words(Against against) {
  switch (against) {
    case Against::Evaluations:
      return {"evaluations of the system", "evaluations of the system (stages \xC3\x97 N)", "evaluations"};
    case Against::Seconds:
      return {"the march time", "march time in seconds", "seconds"};
    case Against::Steps:
      break;
  }
  return {"the number of steps N", "number of steps N", "N"};
}

ChartShape Text(ChartRole role, ChartPoint at, std::string text, double size, TextAnchor anchor = TextAnchor::Start,
                Rgb colour = kBlack) {
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

ChartShape Line(ChartRole role, ChartPoint a, ChartPoint b, Rgb colour, double width, bool dashed = false) {
  ChartShape s;
  s.role = role;
  s.points = {a, b};
  s.stroke = colour;
  s.width = width;
  s.dashed = dashed;
  return s;
}

// The chart being laid out: its shapes, and the boxes that later texts must
// not overlap.
class Layout {
 public:
  Layout(Chart& chart, const TextWidth& measure) : m_chart(chart), m_measure(measure) {}

  const ChartBox& Add(const ChartShape& text) {
    m_chart.shapes.push_back(text);
    m_taken.push_back(TextBox(text, m_measure));
    return m_taken.back();
  }
  void Take(const ChartBox& box) { m_taken.push_back(box); }
  bool Free(const ChartBox& box) const {
    return std::none_of(m_taken.begin(), m_taken.end(), [&](const ChartBox& t) { return t.Overlaps(box); });
  }
  ChartBox Box(const ChartShape& text) const { return TextBox(text, m_measure); }
  // The text made smaller, down to 8 pixels, until it is no wider than `room`.
  ChartShape Fit(ChartShape text, double room) const {
    while (text.size > 8 && Width(text.text, text.size) > room) text.size -= 0.5;
    return text;
  }
  double Width(std::string_view text, double size) const { return m_measure(text, size); }

 private:
  Chart& m_chart;
  const TextWidth& m_measure;
  std::vector<ChartBox> m_taken;
};

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

}  // namespace

Rgb MethodColour(Method method) { return kColours[static_cast<std::size_t>(method)]; }
MarkerShape MethodMarker(Method method) { return kMarkers[static_cast<std::size_t>(method)]; }

namespace {

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

}  // namespace

Chart StudyChart(const Study& study, int width, int height, const TextWidth& measure) {
  Chart chart;
  chart.width = width;
  chart.height = height;
  chart.font_family = "DejaVu Sans";
  Layout layout(chart, measure);
  {
    ChartShape background;
    background.kind = ChartShape::Kind::Rect;
    background.role = ChartRole::Background;
    background.points = {{0, 0}, {static_cast<double>(width), static_cast<double>(height)}};
    background.stroked = false;
    background.filled = true;
    background.fill = kWhite;
    chart.shapes.push_back(background);
  }

  std::vector<Method> methods;
  for (const MethodInfo& info : kMethods)
    if (std::any_of(study.runs.begin(), study.runs.end(), [&](const StudyRun& r) { return r.method == info.method; }))
      methods.push_back(info.method);

  // Beside the frame a legend of 250 pixels; on a narrow chart it goes below,
  // and the room for it and for the note's lines comes off the frame.
  const bool wide = width >= 640;
  const double frame_left = wide ? 90.0 : 64.0;
  const double frame_right = wide ? width - 270.0 : width - 16.0;
  const std::vector<std::string> note =
      Wrap(layout,
           "Solid: the error. Dotted: truncation alone, the run repeated in wider arithmetic. Grey: the runs' own "
           "rounding. Hollow markers: rounding dominates, no order.",
           wide ? width - (frame_right + 18) - 8 : frame_right - frame_left, kNoteSize);
  const double count = static_cast<double>(methods.size());
  const double note_height = static_cast<double>(note.size()) * 16;
  // Beside the frame each method takes two lines where the height allows,
  // else one line, as below the frame.
  const bool two_lines = wide && 58 + count * 42 + note_height + 12 <= height;
  const double below = wide ? 0 : count * 18 + note_height + 14;
  const ChartBox frame{frame_left, 50, frame_right, height - 70 - below};
  chart.frame = frame;

  // The title, smaller where the chart is narrow.
  const AxisWords words = Words(study.against);
  const std::string title = "Error at x1 = " + RoundTripText(study.x1) + " against " + words.title;
  layout.Add(layout.Fit(Text(ChartRole::Title, {width / 2.0, 30}, title, kTitleSize, TextAnchor::Middle), width - 16));

  // The decades the data span: across, the runs' abscissas; upwards, their
  // errors and rounding (truncation below them is clipped at the frame).
  double n_low = HUGE_VAL;
  double n_high = -HUGE_VAL;
  double e_low = HUGE_VAL;
  double e_high = -HUGE_VAL;
  for (const StudyRun& run : study.runs) {
    if (!Drawn(study, run)) continue;
    n_low = std::min(n_low, Abscissa(study, run));
    n_high = std::max(n_high, Abscissa(study, run));
    e_low = std::min(e_low, run.error);
    if (Positive(run.rounding)) e_low = std::min(e_low, run.rounding);
    e_high = std::max(e_high, run.error);
  }
  ChartShape frame_shape;
  frame_shape.kind = ChartShape::Kind::Rect;
  frame_shape.role = ChartRole::Frame;
  frame_shape.points = {{frame.left, frame.top}, {frame.right, frame.bottom}};
  if (!(e_low <= e_high) || !(n_low <= n_high)) {
    chart.shapes.push_back(frame_shape);
    const std::string message =
        study.reference.valid() ? "No error to show" : "No reference: the solution grows without bound before x1";
    layout.Add(layout.Fit(Text(ChartRole::Note, {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2},
                               message, kLabelSize, TextAnchor::Middle),
                          frame.right - frame.left - 8));
    return chart;
  }
  // N spans its own range with a margin; the errors whole decades.
  const double span = std::max(std::log10(n_high) - std::log10(n_low), 0.5);
  const double x0 = std::log10(n_low) - span * 0.04;
  const double x1 = std::log10(n_high) + span * 0.04;
  const double y0 = std::floor(std::log10(e_low));
  const double y1 = std::max(std::ceil(std::log10(e_high)), y0 + 1);
  auto at = [&](double n, double e) -> ChartPoint {
    return {frame.left + (std::log10(n) - x0) / (x1 - x0) * (frame.right - frame.left),
            frame.bottom - (std::log10(e) - y0) / (y1 - y0) * (frame.bottom - frame.top)};
  };

  // The band of the runs' own rounding, measured: under the largest
  // rounding at each abscissa (or the reference's reach, if larger),
  // carried flat to the frame's edges.
  std::vector<std::pair<double, double>> reach;
  for (const StudyRun& run : study.runs) {
    if (!Drawn(study, run)) continue;
    const double top = std::max(Positive(run.rounding) ? run.rounding : 0.0, 10 * study.reference.error);
    const double x = Abscissa(study, run);
    const auto same = std::find_if(reach.begin(), reach.end(), [x](const auto& p) { return p.first == x; });
    if (same == reach.end())
      reach.emplace_back(x, top);
    else
      same->second = std::max(same->second, top);
  }
  std::sort(reach.begin(), reach.end());
  // Rounding grows with the work done: the band keeps the largest so far.
  for (std::size_t i = 1; i < reach.size(); ++i) reach[i].second = std::max(reach[i].second, reach[i - 1].second);

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
    band.points.push_back(clamped({frame.left, at(1, std::max(reach.front().second, 1e-300)).y}));
    for (const auto& [x, top] : reach) band.points.push_back(clamped(at(x, std::max(top, 1e-300))));
    band.points.push_back(clamped({frame.right, at(1, std::max(reach.back().second, 1e-300)).y}));
  }
  band.points.push_back({frame.right, frame.bottom});
  chart.shapes.push_back(band);

  // Ticks: decades across where two or more fall in the range, else the
  // study's step counts; decades upwards.
  std::vector<double> across;
  std::vector<int> across_decades;
  for (int d = static_cast<int>(std::ceil(x0)); d <= static_cast<int>(std::floor(x1)); ++d) across_decades.push_back(d);
  std::vector<ChartShape> across_labels;
  if (across_decades.size() >= 2) {
    for (const int d : across_decades) {
      across.push_back(std::pow(10.0, d));
      ChartShape label =
          Text(ChartRole::TickLabel, {at(across.back(), 1).x, frame.bottom + 20}, "10", kLabelSize, TextAnchor::Middle);
      label.superscript = SignedExponent(d);
      across_labels.push_back(label);
    }
  } else {
    for (const StudyRun& run : study.runs)
      if (Drawn(study, run) && std::find(across.begin(), across.end(), Abscissa(study, run)) == across.end())
        across.push_back(Abscissa(study, run));
    std::sort(across.begin(), across.end());
    for (const double n : across)
      across_labels.push_back(Text(ChartRole::TickLabel, {at(n, 1).x, frame.bottom + 20}, RoundTripText(n), kLabelSize,
                                   TextAnchor::Middle));
  }
  std::vector<ChartShape> up_labels;
  std::vector<double> up;
  for (int d = static_cast<int>(y0); d <= static_cast<int>(y1); ++d) {
    up.push_back(std::pow(10.0, d));
    ChartShape label =
        Text(ChartRole::TickLabel, {frame.left - 8, at(1, up.back()).y + 5}, "10", kLabelSize, TextAnchor::End);
    label.superscript = SignedExponent(d);
    up_labels.push_back(label);
  }
  for (const double n : across)
    chart.shapes.push_back(
        Line(ChartRole::Grid, {at(n, 1).x, frame.top}, {at(n, 1).x, frame.bottom}, Rgb{215, 215, 215}, 0.8));
  for (const double e : up)
    chart.shapes.push_back(
        Line(ChartRole::Grid, {frame.left, at(1, e).y}, {frame.right, at(1, e).y}, Rgb{200, 200, 200}, 0.8));
  for (const auto* labels : {&across_labels, &up_labels}) {
    std::vector<ChartBox> boxes;
    for (const ChartShape& label : *labels) boxes.push_back(layout.Box(label));
    for (const std::size_t i : Thinned(boxes, labels == &across_labels, labels == &across_labels ? 8 : 2))
      layout.Add((*labels)[i]);
  }
  layout.Add(Text(ChartRole::AxisTitle, {(frame.left + frame.right) / 2, frame.bottom + 44}, words.axis, kLabelSize,
                  TextAnchor::Middle));
  ChartShape y_title =
      Text(ChartRole::AxisTitle, {wide ? 24.0 : 16.0, (frame.top + frame.bottom) / 2},
           "error, the larger of |y1 \xE2\x88\x92 ref| and |y2 \xE2\x88\x92 ref|", kLabelSize, TextAnchor::Middle);
  y_title.upright = true;
  layout.Add(layout.Fit(y_title, frame.bottom - frame.top));

  // The methods: lines through the points, markers hollow at the floor. The
  // markers' places are taken before any label is placed.
  std::vector<std::pair<ChartPoint, ChartPoint>> segments;
  std::vector<ChartShape> curves;
  std::vector<ChartShape> markers;
  for (const Method method : methods) {
    ChartShape curve;
    curve.kind = ChartShape::Kind::Polyline;
    curve.role = ChartRole::Curve;
    curve.stroke = MethodColour(method);
    curve.width = 1.6;
    // Truncation alone, dotted, clipped where it falls below the frame.
    ChartShape truncation = curve;
    truncation.width = 1;
    truncation.dashed = true;
    ChartPoint last_truncation{};
    bool has_truncation = false;
    for (const StudyRun& run : study.runs) {
      if (run.method != method || !Drawn(study, run)) continue;
      const ChartPoint p = at(Abscissa(study, run), run.error);
      if (!curve.points.empty()) segments.emplace_back(curve.points.back(), p);
      curve.points.push_back(p);
      if (Positive(run.truncation)) {
        const ChartPoint t = at(Abscissa(study, run), run.truncation);
        if (has_truncation) {
          ChartPoint a = last_truncation;
          ChartPoint b = t;
          if (ClipSegment(a, b, frame)) {
            ChartShape piece = truncation;
            piece.kind = ChartShape::Kind::Line;
            piece.points = {a, b};
            curves.push_back(piece);
          }
        }
        last_truncation = t;
        has_truncation = true;
      }
      ChartShape marker;
      marker.kind = ChartShape::Kind::Marker;
      marker.role = ChartRole::Marker;
      marker.points = {p};
      marker.marker = MethodMarker(method);
      marker.size = kMarkerRadius;
      marker.stroke = MethodColour(method);
      const bool line_only = marker.marker == MarkerShape::Plus || marker.marker == MarkerShape::Cross;
      marker.width = line_only ? 2.2 : 1.6;
      marker.filled = !line_only;
      marker.fill = run.mark == Mark::RoundOff ? kWhite : MethodColour(method);
      markers.push_back(marker);
      layout.Take({p.x - kMarkerRadius - 1, p.y - kMarkerRadius - 1, p.x + kMarkerRadius + 1, p.y + kMarkerRadius + 1});
    }
    if (curve.points.size() >= 2) curves.push_back(curve);
  }

  // The band's label, where it covers no marker: at the bottom left, else
  // the bottom right, else the top left.
  const std::string floor_text = "rounding of the runs, measured";
  std::vector<ChartShape> floor_labels;
  for (const auto& [point, anchor] : {std::pair{ChartPoint{frame.left + 6, frame.bottom - 6}, TextAnchor::Start},
                                      std::pair{ChartPoint{frame.right - 6, frame.bottom - 6}, TextAnchor::End},
                                      std::pair{ChartPoint{frame.left + 6, frame.top + 16}, TextAnchor::Start}})
    floor_labels.push_back(layout.Fit(Text(ChartRole::Note, point, floor_text, kNoteSize, anchor, Rgb{90, 90, 90}),
                                      frame.right - frame.left - 12));
  const auto free_label = std::find_if(floor_labels.begin(), floor_labels.end(),
                                       [&](const ChartShape& label) { return layout.Free(layout.Box(label)); });
  layout.Add(free_label != floor_labels.end() ? *free_label : floor_labels.front());

  // Guide slopes, each through the first point of the first method of its
  // order, raised by a factor of 4 so that it runs beside the data; clipped
  // to the frame, and labelled where the label overlaps nothing.
  std::vector<std::pair<ChartPoint, ChartPoint>> guides;
  std::vector<int> guide_orders;
  for (const int order : kGuideOrders) {
    const auto anchor = std::find_if(study.runs.begin(), study.runs.end(), [&](const StudyRun& run) {
      return Drawn(study, run) && run.mark != Mark::RoundOff && Info(run.method).order == order;
    });
    if (anchor == study.runs.end() || Abscissa(study, *anchor) >= n_high) continue;
    const double e_start = anchor->error * 4;
    const double x_start = Abscissa(study, *anchor);
    ChartPoint a = at(x_start, e_start);
    ChartPoint b = at(n_high, e_start * std::pow(x_start / n_high, order));
    if (!ClipSegment(a, b, frame)) continue;
    guides.emplace_back(a, b);
    guide_orders.push_back(order);
    chart.shapes.push_back(Line(ChartRole::Guide, a, b, kGuideGrey, 1.2, true));
  }
  for (std::size_t g = 0; g < guides.size(); ++g) {
    const auto [a, b] = guides[g];
    for (const double t : {0.5, 0.35, 0.65, 0.2, 0.8, 0.1, 0.9}) {
      const ChartPoint p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
      bool placed = false;
      for (const double dy : {-6.0, 16.0}) {
        ChartShape label = Text(ChartRole::GuideLabel, {p.x + 6, p.y + dy}, std::string("\xE2\x88\x9D ") + words.unit,
                                kNoteSize, TextAnchor::Start, Rgb{85, 85, 85});
        label.superscript = SignedExponent(-guide_orders[g]);

        const ChartBox box = layout.Box(label);
        const bool inside =
            box.left >= frame.left && box.right <= frame.right && box.top >= frame.top && box.bottom <= frame.bottom;
        const auto crosses = [&box](const std::pair<ChartPoint, ChartPoint>& s) {
          return Crosses(s.first, s.second, box);
        };
        if (inside && layout.Free(box) && std::none_of(segments.begin(), segments.end(), crosses) &&
            std::none_of(guides.begin(), guides.end(), crosses)) {
          layout.Add(label);
          placed = true;
          break;
        }
      }
      if (placed) break;
    }
  }
  chart.shapes.insert(chart.shapes.end(), curves.begin(), curves.end());
  chart.shapes.insert(chart.shapes.end(), markers.begin(), markers.end());
  chart.shapes.push_back(frame_shape);

  // The legend, with each method's observed order.
  const double legend_left = wide ? frame.right + 18 : frame.left;
  double y = wide ? frame.top + 8 : frame.bottom + 62;
  for (const Method method : methods) {
    const std::optional<double> order = FittedOrder(study, method);
    const std::string order_text = order ? "order " + FixedText(*order, 2, ".") : "no order measured";
    ChartShape key;
    key.kind = ChartShape::Kind::Marker;
    key.role = ChartRole::Legend;
    key.points = {{legend_left + 14, y}};
    key.marker = MethodMarker(method);
    key.size = kMarkerRadius;
    key.stroke = MethodColour(method);
    key.filled = key.marker != MarkerShape::Plus && key.marker != MarkerShape::Cross;
    key.fill = MethodColour(method);
    key.width = key.filled ? 1.6 : 2.2;
    ChartShape line = Line(ChartRole::Legend, {legend_left, y}, {legend_left + 28, y}, MethodColour(method), 1.6);
    chart.shapes.push_back(line);
    chart.shapes.push_back(key);
    // The result-line name over the order, or the shorter caption and the
    // order on one line. Each smaller if need be.
    ChartShape name = two_lines ? Text(ChartRole::Legend, {legend_left + 38, y + 4},
                                       std::string(Info(method).result_name), kLabelSize)
                                : Text(ChartRole::Legend, {legend_left + 38, y + 4},
                                       std::string(Info(method).caption) + ", " + order_text, kNoteSize);
    layout.Add(layout.Fit(name, width - (legend_left + 38) - 4));
    if (two_lines) {
      layout.Add(
          Text(ChartRole::Legend, {legend_left + 38, y + 20}, order_text, kNoteSize, TextAnchor::Start, kNoteGrey));
      y += 42;
    } else {
      y += 18;
    }
  }
  for (const std::string& line : note) {
    layout.Add(Text(ChartRole::Note, {legend_left, y + 8}, line, kNoteSize, TextAnchor::Start, kNoteGrey));
    y += 16;
  }
  return chart;
}

}  // namespace kavrin
