#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "ode/method_table.h"
#include "plot/chart.h"

// The parts every chart is built from: texts, lines, markers, a layout that
// keeps texts apart, thinned tick labels and wrapped notes.
namespace kavrin {

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr double kMarkerRadius = 4.5;

ChartShape Text(ChartRole role, ChartPoint at, std::string text, double size, TextAnchor anchor = TextAnchor::Start,
                Rgb colour = kBlack);
ChartShape Line(ChartRole role, ChartPoint a, ChartPoint b, Rgb colour, double width, bool dashed = false);

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
std::vector<std::size_t> Thinned(const std::vector<ChartBox>& boxes, bool across, double gap);

// An exponent for a superscript, with a true minus sign.
std::string SignedExponent(int d);

// Whether the segment a-b crosses the box.
bool Crosses(ChartPoint a, ChartPoint b, const ChartBox& box);

// Words broken into lines no wider than `room`.
std::vector<std::string> Wrap(const Layout& layout, std::string_view text, double room, double size);

// A method's marker in its colour and shape: filled, or drawn in lines for
// + and x.
ChartShape MethodMarker(const MethodInfo& info, ChartPoint at, ChartRole role);

// The white rectangle under a chart, and the frame's outline.
ChartShape BackgroundShape(const Chart& chart);
ChartShape FrameShape(const ChartBox& frame);

}  // namespace kavrin
