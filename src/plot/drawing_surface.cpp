#include "plot/drawing_surface.h"

#include <cfloat>
#include <cmath>

#include "core/failure.h"
#include "core/number_text.h"

namespace kavrin {
namespace {

// Scale and offset for one axis; halving first keeps `high - low` finite for
// any two finite bounds.
bool Axis(double low, double high, int pixels, double& scale, double& offset) {
  const double half_extent = high / 2 - low / 2;
  scale = (pixels / 2.0) / half_extent;
  offset = -low * scale;
  return pixels > 0 && half_extent != 0 && std::isfinite(scale) && std::isfinite(offset);
}

}  // namespace

static_assert(3.4028234663852886e38 == FLT_MAX);

void ThrowBeyondSingle(double value) {
  throw Failure{FailureKind::Overflow,
                {},
                {},
                "the solution reaches " + PlainRoundTripText(value) +
                    ", too large to plot: the plot shows values up to about 3.4E+38 (single precision).",
                "Enter a target point x1 nearer to the start to see the plot."};
}

void DrawingSurface::Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first,
                            Rgb second) {
  for (std::size_t i = 1; i < points; ++i) {
    Line(ToSingle(x[i - 1]), ToSingle(y1[i - 1]), ToSingle(x[i]), ToSingle(y1[i]), first);
    Line(ToSingle(x[i - 1]), ToSingle(y2[i - 1]), ToSingle(x[i]), ToSingle(y2[i]), second);
  }
}

ViewTransform::ViewTransform(double left, double top, double right, double bottom, int width, int height) {
  m_usable = Axis(left, right, width, m_sx, m_ox) && Axis(top, bottom, height, m_sy, m_oy);
}

}  // namespace kavrin
