#include "plot/graphic.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

#include "ode/failure.h"

namespace kavrin {
namespace {

// Grid loops with more positions than this are not stepped through one by
// one: their lines are closer than a pixel and cover every column (or row).
constexpr double kMaxGridSteps = 1e6;
constexpr double kGridSpacing = 0.1;

double Checked(double value, const char* what) {
  if (!std::isfinite(value))
    throw Failure(FailureKind::Overflow,
                  std::string("the plot's ") + what + " is beyond the range of double-precision numbers");
  return value;
}

void Segment(DrawingSurface& surface, double xa, double ya, double xb, double yb, Rgb colour) {
  surface.Line(ToSingle(xa), ToSingle(ya), ToSingle(xb), ToSingle(yb), colour);
}

int Floor(double pixel) {
  if (!(pixel > INT_MIN / 2.0)) return INT_MIN / 2;
  if (!(pixel < INT_MAX / 2.0)) return INT_MAX / 2;
  return static_cast<int>(std::floor(pixel));
}

// Vertical grid lines at g = 0, 0.1, 0.2, ... (by repeated addition) while
// g <= bound, from yLow to yHigh. Lines right of the view are skipped, and a
// line is drawn only when it falls into a new pixel column.
void VerticalGrid(DrawingSurface& surface, const ViewTransform& view, double right, double bound, double yLow,
                  double yHigh) {
  const double stop = std::min(bound, right);
  if (stop / kGridSpacing <= kMaxGridSteps) {
    int drawn = INT_MIN;
    for (double g = 0; g <= bound && g <= right; g = g + kGridSpacing) {
      const int column = Floor(view.PixelX(ToSingle(g)));
      if (column == drawn) continue;
      drawn = column;
      Segment(surface, g, yLow, g, yHigh, kGridGrey);
    }
    return;
  }
  // Lines closer than a pixel: every column from 0 to the last line.
  const int first = std::max(Floor(view.PixelX(0)), 0);
  const int last = std::min(Floor(view.PixelX(stop)), surface.PixelWidth() - 1);
  for (int column = first; column <= last; ++column) {
    const double g = view.UserX(column);
    Segment(surface, g, yLow, g, yHigh, kGridGrey);
  }
}

// Horizontal grid lines at g = 0, -0.1, -0.2, ... while g >= bound, from
// xLow to xHigh; the same economy as the vertical grid, per pixel row.
void HorizontalGrid(DrawingSurface& surface, const ViewTransform& view, double bottom, double bound, double xLow,
                    double xHigh) {
  const double stop = std::max(bound, bottom);
  if (-stop / kGridSpacing <= kMaxGridSteps) {
    int drawn = INT_MIN;
    for (double g = 0; g >= bound && g >= bottom; g = g + -kGridSpacing) {
      const int row = Floor(view.PixelY(ToSingle(g)));
      if (row == drawn) continue;
      drawn = row;
      Segment(surface, xLow, g, xHigh, g, kGridGrey);
    }
    return;
  }
  const int first = std::max(Floor(view.PixelY(0)), 0);
  const int last = std::min(Floor(view.PixelY(stop)), surface.PixelHeight() - 1);
  for (int row = first; row <= last; ++row) {
    const double g = view.UserY(row);
    Segment(surface, xLow, g, xHigh, g, kGridGrey);
  }
}

}  // namespace

void Graphic(double N, const SolutionTables& tables, double& /*x0*/, double& xMax, DrawingSurface& surface) {
  // The data range. Taking the smaller and larger of the start and the target
  // keeps a backward integration (target below the start) in view.
  const double start = tables.x(0);
  double xMin = std::min(start, xMax);
  xMax = std::max(start, xMax);
  double yMax = -1000;
  double yMin = 1000;

  // Entries 0 to N; reading past the tables fails before anything is drawn.
  const std::int64_t last = N >= 0 ? static_cast<std::int64_t>(std::floor(N)) : -1;
  if (last >= 0 && static_cast<std::uint64_t>(last) >= tables.size())
    throw Failure(FailureKind::IndexOutOfRange, "the plot needs entries 0 to " + std::to_string(last) +
                                                    ", but the solution tables have " + std::to_string(tables.size()));
  const std::int64_t filled = static_cast<std::int64_t>(tables.filled());
  const double* xs = tables.x_data();
  const double* y1s = tables.y1_data();
  const double* y2s = tables.y2_data();
  auto at = [filled](const double* table, std::int64_t i) { return i < filled ? table[i] : 0.0; };

  for (std::int64_t i = 0; i <= last; ++i) {
    // The pair's larger and smaller value first, so that each running
    // extreme waits for one comparison per step, not two.
    const double y1 = at(y1s, i);
    const double y2 = at(y2s, i);
    const double high = y2 > y1 ? y2 : y1;
    const double low = y2 < y1 ? y2 : y1;
    if (high > yMax) yMax = high;
    if (low < yMin) yMin = low;
  }

  // Take in the origin, then a margin of a tenth of each extent.
  if (xMax < 0) xMax = 0;
  if (xMin > 0) xMin = 0;
  if (yMax < 0) yMax = 0;
  if (yMin > 0) yMin = 0;
  const double dx = std::fabs(Checked(xMax - xMin, "horizontal extent")) * 0.1;
  const double dy = std::fabs(Checked(yMax - yMin, "vertical extent")) * 0.1;

  surface.Cls();
  const double left = Checked(xMin - dx, "left bound");
  const double top = Checked(yMax + dy, "top bound");
  const double right = Checked(xMax + dx, "right bound");
  const double bottom = Checked(yMin - dy, "bottom bound");
  surface.Scale(left, top, right, bottom);
  const ViewTransform view(left, top, right, bottom, surface.PixelWidth(), surface.PixelHeight());
  if (!view.usable()) return;  // zero extent: the picture stays cleared

  // The two curves, alternately, step by step. Entries a failed run left
  // empty read as 0, which only the slow path handles.
  if (last < filled) {
    if (last >= 1) surface.Curves(xs, y1s, y2s, static_cast<std::size_t>(last) + 1, kRed, kBlue);
  } else {
    for (std::int64_t i = 1; i <= last; ++i) {
      const double xa = at(xs, i - 1);
      const double xb = at(xs, i);
      Segment(surface, xa, at(y1s, i - 1), xb, at(y1s, i), kRed);
      Segment(surface, xa, at(y2s, i - 1), xb, at(y2s, i), kBlue);
    }
  }

  // Widen for the axes, which run symmetrically about the origin.
  if (std::fabs(xMin) > xMax) xMax = std::fabs(xMin);
  if (std::fabs(yMin) > yMax) yMax = std::fabs(yMin);

  VerticalGrid(surface, view, right, Checked(xMax + 0.0000001, "grid bound"), yMin, yMax);
  HorizontalGrid(surface, view, bottom, yMin, xMin, xMax);

  surface.Line(ToSingle(-xMax), 0.0f, ToSingle(xMax), 0.0f);
  surface.Line(0.0f, ToSingle(-yMax), 0.0f, ToSingle(yMax));
}

}  // namespace kavrin
