#include "plot/graphic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/failure.h"
#include "platform/threads.h"

namespace kavrin {
namespace {

constexpr double kGridSpacing = 0.1;
// Grid lines closer than this, in logical pixels, would only cover the
// curves: such a direction of the grid is left out.
constexpr double kMinGridGap = 3;

double Checked(double value, const char* what) {
  if (!std::isfinite(value)) {
    throw Failure{FailureKind::Overflow,
                  {},
                  {},
                  std::string("the values to plot span too wide a range to compute the plot's ") + what + ".",
                  "Enter a target point x1 nearer to the start to see the plot."};
  }
  return value;
}

void Segment(DrawingSurface& surface, double xa, double ya, double xb, double yb, Rgb colour) {
  surface.Line(ToSingle(xa), ToSingle(ya), ToSingle(xb), ToSingle(yb), colour);
}

// Whether grid lines kGridSpacing apart stand at least kMinGridGap logical
// pixels apart, given the distance in device pixels of two lines.
bool ReadableGrid(double gap_in_pixels, const DrawingSurface& surface) {
  return std::fabs(gap_in_pixels) >= kMinGridGap * surface.PixelRatio();
}

// Vertical grid lines at g = 0, 0.1, 0.2, ... (by repeated addition) while
// g <= bound, from y_low to y_high; lines right of the view are skipped.
void VerticalGrid(DrawingSurface& surface, const ViewTransform& view, double right, double bound, double y_low,
                  double y_high) {
  if (!ReadableGrid(view.PixelX(kGridSpacing) - view.PixelX(0), surface)) return;
  for (double g = 0; g <= bound && g <= right; g = g + kGridSpacing) Segment(surface, g, y_low, g, y_high, kGridGrey);
}

// Horizontal grid lines at g = 0, -0.1, -0.2, ... while g >= bound, from
// x_low to x_high.
void HorizontalGrid(DrawingSurface& surface, const ViewTransform& view, double bottom, double bound, double x_low,
                    double x_high) {
  if (!ReadableGrid(view.PixelY(kGridSpacing) - view.PixelY(0), surface)) return;
  for (double g = 0; g >= bound && g >= bottom; g = g + -kGridSpacing) Segment(surface, x_low, g, x_high, g, kGridGrey);
}

// The highest and lowest of y1 and y2 over a run of entries, starting from
// the plot's -1000 and 1000.
struct ValueRange {
  double high = -1000;
  double low = 1000;
};

ValueRange ScanValues(const double* y1s, const double* y2s, std::int64_t first, std::int64_t end) {
  ValueRange r;
  for (std::int64_t i = first; i < end; ++i) {
    // The pair's larger and smaller value first, so that each running
    // extreme waits for one comparison per step, not two.
    const double y1 = y1s[i];
    const double y2 = y2s[i];
    const double high = y2 > y1 ? y2 : y1;
    const double low = y2 < y1 ? y2 : y1;
    if (high > r.high) r.high = high;
    if (low < r.low) r.low = low;
  }
  return r;
}

// Entries 0 to count - 1, in consecutive shares on every core when there are
// many. A later share's extreme replaces an earlier one's only when strictly
// beyond it, so the result is the one a single pass in order finds.
ValueRange ValueRangeOf(const double* y1s, const double* y2s, std::int64_t count) {
  constexpr std::int64_t kParallelEntries = std::int64_t{1} << 20;
  const unsigned threads = count >= kParallelEntries ? HardwareThreads() : 1;
  std::vector<ValueRange> shares(threads);
  RunShares(threads,
            [&](unsigned t) { shares[t] = ScanValues(y1s, y2s, count * t / threads, count * (t + 1) / threads); });
  ValueRange r = shares[0];
  for (const ValueRange& share : shares) {
    if (share.high > r.high) r.high = share.high;
    if (share.low < r.low) r.low = share.low;
  }
  return r;
}

// The picture's extents: the data (and the origin) with a tenth of each
// extent as margin, and the half extents the axes span.
struct PictureView {
  double left, top, right, bottom;
  double x_min, x_max, y_min, y_max;
};

PictureView ViewOf(double x_min, double x_max, double y_min, double y_max) {
  // Take in the origin, then a margin of a tenth of each extent.
  if (x_max < 0) x_max = 0;
  if (x_min > 0) x_min = 0;
  if (y_max < 0) y_max = 0;
  if (y_min > 0) y_min = 0;
  const double dx = std::fabs(Checked(x_max - x_min, "horizontal extent")) * 0.1;
  const double dy = std::fabs(Checked(y_max - y_min, "vertical extent")) * 0.1;
  return {Checked(x_min - dx, "left bound"),
          Checked(y_max + dy, "top bound"),
          Checked(x_max + dx, "right bound"),
          Checked(y_min - dy, "bottom bound"),
          x_min,
          x_max,
          y_min,
          y_max};
}

// The two curves, alternately, step by step, entries 0 to last. Entries a
// failed run left empty read as 0, which only the slow path handles.
void DrawCurves(const SolutionTables& tables, std::int64_t last, DrawingSurface& surface) {
  const std::int64_t filled = static_cast<std::int64_t>(tables.filled());
  const double* xs = tables.x_data();
  const double* y1s = tables.y1_data();
  const double* y2s = tables.y2_data();
  if (last < filled) {
    if (last >= 1) surface.Curves(xs, y1s, y2s, static_cast<std::size_t>(last) + 1, kRed, kBlue);
    return;
  }
  auto at = [filled](const double* table, std::int64_t i) { return i < filled ? table[i] : 0.0; };
  for (std::int64_t i = 1; i <= last; ++i) {
    const double xa = at(xs, i - 1);
    const double xb = at(xs, i);
    Segment(surface, xa, at(y1s, i - 1), xb, at(y1s, i), kRed);
    Segment(surface, xa, at(y2s, i - 1), xb, at(y2s, i), kBlue);
  }
}

// The grid and the two axes, which run symmetrically about the origin.
void DrawGridAndAxes(const PictureView& v, const ViewTransform& view, DrawingSurface& surface) {
  double x_max = v.x_max;
  double y_max = v.y_max;
  if (std::fabs(v.x_min) > x_max) x_max = std::fabs(v.x_min);
  if (std::fabs(v.y_min) > y_max) y_max = std::fabs(v.y_min);
  VerticalGrid(surface, view, v.right, Checked(x_max + 0.0000001, "grid bound"), v.y_min, y_max);
  HorizontalGrid(surface, view, v.bottom, v.y_min, v.x_min, x_max);
  surface.Line(ToSingle(-x_max), 0.0f, ToSingle(x_max), 0.0f);
  surface.Line(0.0f, ToSingle(-y_max), 0.0f, ToSingle(y_max));
}

}  // namespace

void Graphic(double N, const SolutionTables& tables, double x_max, DrawingSurface& surface) {
  // The data range. Taking the smaller and larger of the start and the
  // target keeps a backward integration (target below the start) in view.
  const double start = tables.x(0);
  // Entries 0 to N; reading past the tables fails before anything is drawn.
  const std::int64_t last = N >= 0 ? static_cast<std::int64_t>(std::floor(N)) : -1;
  if (last >= 0 && static_cast<std::uint64_t>(last) >= tables.size()) {
    throw Failure{FailureKind::IndexOutOfRange,
                  {},
                  {},
                  "the plot needs the solution's entries 0 to " + std::to_string(last) + ", but only " +
                      std::to_string(tables.size()) + " exist.",
                  {}};
  }
  // The filled entries, on every core when there are many; the empty ones
  // after them read as 0.
  const std::int64_t stored = std::min(last + 1, static_cast<std::int64_t>(tables.filled()));
  const ValueRange range = ValueRangeOf(tables.y1_data(), tables.y2_data(), std::max<std::int64_t>(stored, 0));
  double y_max = range.high;
  double y_min = range.low;
  if (last >= stored) {
    if (0.0 > y_max) y_max = 0.0;
    if (0.0 < y_min) y_min = 0.0;
  }
  const PictureView v = ViewOf(std::min(start, x_max), std::max(start, x_max), y_min, y_max);

  surface.Cls();
  surface.Scale(v.left, v.top, v.right, v.bottom);
  const ViewTransform view(v.left, v.top, v.right, v.bottom, surface.PixelWidth(), surface.PixelHeight());
  if (!view.usable()) return;  // zero extent: the picture stays cleared
  DrawCurves(tables, last, surface);
  DrawGridAndAxes(v, view, surface);
}

std::optional<Failure> DrawPicture(const Calculation& calculation, DrawingSurface& surface) {
  return Caught([&] { Graphic(calculation.N(), calculation.tables(), calculation.x1(), surface); });
}

}  // namespace kavrin
