#include "ui/drawing_surface.h"

#include <cmath>

namespace kavrin {
namespace {

// Scale and offset for one axis; halving first keeps `high - low` finite for
// any two finite bounds.
bool Axis(double low, double high, int pixels, double& scale, double& offset) {
  const double half_extent = high / 2 - low / 2;
  scale = (pixels / 2.0) / half_extent;
  offset = -low * scale;
  return half_extent != 0 && std::isfinite(scale) && std::isfinite(offset);
}

}  // namespace

ViewTransform::ViewTransform(double left, double top, double right, double bottom, int width, int height) {
  m_usable = Axis(left, right, width, m_sx, m_ox) && Axis(top, bottom, height, m_sy, m_oy);
}

}  // namespace kavrin
