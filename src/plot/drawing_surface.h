#pragma once

#include <cstddef>
#include <cstdint>

#include "ode/appearance.h"

namespace kavrin {

// What the plot needs of a picture: erase, set user coordinates, draw lines.
class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  // Erase every drawing, filling the area with the background colour.
  virtual void Cls() = 0;
  // User coordinates: (left, top) is the area's top-left corner and
  // (right, bottom) its bottom-right one, linear in each axis.
  virtual void Scale(double left, double top, double right, double bottom) = 0;
  // A solid one-pixel segment in user coordinates, clipped to the area.
  virtual void Line(float xa, float ya, float xb, float yb, Rgb colour) = 0;
  // The same in the surface's foreground colour.
  virtual void Line(float xa, float ya, float xb, float yb) = 0;

  // The plot's curves in one call: for i = 1 to points - 1, the segment from
  // (x[i-1], y1[i-1]) to (x[i], y1[i]) in `first`, then the one from
  // (x[i-1], y2[i-1]) to (x[i], y2[i]) in `second`. Each coordinate goes
  // through ToSingle as the segment is drawn, so a coordinate beyond the
  // single-precision range throws after the segments before it. This default
  // calls Line per segment; a surface may override it with an equivalent.
  virtual void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second);

  // The drawing area in device pixels, and device pixels per logical pixel
  // (2 on a high-density screen), so that the plot can judge distances as
  // the user sees them.
  virtual int PixelWidth() const = 0;
  virtual int PixelHeight() const = 0;
  virtual double PixelRatio() const { return 1.0; }
};

[[noreturn]] void ThrowBeyondSingle(double value);

// A coordinate converted to the nearest single-precision number for drawing;
// one beyond the single-precision range throws an overflow Failure.
inline float ToSingle(double value) {
  if (value > 3.4028234663852886e38 || value < -3.4028234663852886e38) [[unlikely]]
    ThrowBeyondSingle(value);
  return static_cast<float>(value);
}

// The mapping from user coordinates to pixel positions that every surface
// uses: pixel column c covers positions [c, c + 1).
class ViewTransform {
 public:
  ViewTransform() = default;
  ViewTransform(double left, double top, double right, double bottom, int width, int height);

  // False for a zero (or unusably small) extent, or an area without pixels:
  // nothing can be drawn.
  bool usable() const noexcept { return m_usable; }
  double PixelX(double x) const noexcept { return x * m_sx + m_ox; }
  double PixelY(double y) const noexcept { return y * m_sy + m_oy; }

 private:
  double m_sx = 0, m_ox = 0, m_sy = 0, m_oy = 0;
  bool m_usable = false;
};

}  // namespace kavrin
