#include "plot/raster_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "platform/threads.h"
#include "plot/chart.h"

#if defined(__GNUC__)
#define KAVRIN_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define KAVRIN_ALWAYS_INLINE inline
#endif

namespace kavrin {
namespace {

// The pixels of an image, taken once per drawing call, and the width of a
// segment in them.
struct Pixels {
  std::uint32_t* bits;
  std::ptrdiff_t stride;
  int width;
  int height;
  int pen;
};

// A pen x pen square centred on pixel (x, y), clipped to the image.
void Stamp(const Pixels& p, int x, int y, std::uint32_t colour) {
  const int x0 = std::max(x - (p.pen - 1) / 2, 0);
  const int y0 = std::max(y - (p.pen - 1) / 2, 0);
  const int x1 = std::min(x + p.pen / 2, p.width - 1);
  const int y1 = std::min(y + p.pen / 2, p.height - 1);
  for (int row = y0; row <= y1; ++row)
    for (int column = x0; column <= x1; ++column) p.bits[row * p.stride + column] = colour;
}

// Shortens the segment (x0,y0)-(x1,y1) to the box [0, w] x [0, h]; false
// when nothing of it lies inside.
bool Clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  ChartPoint a{x0, y0};
  ChartPoint b{x1, y1};
  if (!ClipSegment(a, b, {0, 0, w, h})) return false;
  x0 = a.x;
  y0 = a.y;
  x1 = b.x;
  y1 = b.y;
  return true;
}

// Bresenham: one pixel (or one pen square) per step along the major axis.
void Raster(const Pixels& p, int xa, int ya, int xb, int yb, std::uint32_t colour) {
  std::uint32_t* const bits = p.bits;
  const std::ptrdiff_t stride = p.stride;
  const bool wide = p.pen > 1;
  const int dx = std::abs(xb - xa);
  const int dy = -std::abs(yb - ya);
  const int sx = xa < xb ? 1 : -1;
  const int sy = ya < yb ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    if (wide)
      Stamp(p, xa, ya, colour);
    else
      bits[ya * stride + xa] = colour;
    if (xa == xb && ya == yb) break;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      xa += sx;
    }
    if (twice <= dx) {
      error += dx;
      ya += sy;
    }
  }
}

// A segment between two pixel positions: clipped to the image, then rasterised.
void DrawPixels(const Pixels& p, double x0, double y0, double x1, double y1, std::uint32_t colour) {
  const double w = p.width;
  const double h = p.height;
  const bool inside = x0 >= 0 && x0 < w && y0 >= 0 && y0 < h && x1 >= 0 && x1 < w && y1 >= 0 && y1 < h;
  if (inside) {
    const int xa = static_cast<int>(x0);
    const int ya = static_cast<int>(y0);
    const int xb = static_cast<int>(x1);
    const int yb = static_cast<int>(y1);
    // Most segments of a long run lie within one pixel.
    if (xa == xb && ya == yb && p.pen == 1) {
      p.bits[ya * p.stride + xa] = colour;
      return;
    }
    Raster(p, xa, ya, xb, yb, colour);
    return;
  }
  if (!Clip(x0, y0, x1, y1, w, h)) return;
  // Pixel c covers [c, c + 1); a point on the far edge belongs to the last pixel.
  const int last_x = p.width - 1;
  const int last_y = p.height - 1;
  Raster(p, std::min(static_cast<int>(x0), last_x), std::min(static_cast<int>(y0), last_y),
         std::min(static_cast<int>(x1), last_x), std::min(static_cast<int>(y1), last_y), colour);
}

// A coordinate on one axis in pixels, with its pixel index when it lies
// within the image.
struct AxisPoint {
  double position;
  int pixel;
  bool inside;
};

KAVRIN_ALWAYS_INLINE AxisPoint OnAxis(double position, int extent) {
  const bool inside = position >= 0 && position < extent;
  return {position, inside ? static_cast<int>(position) : 0, inside};
}

// The common case of a long run: both ends inside, most often in one pixel.
KAVRIN_ALWAYS_INLINE void CurveSegment(const Pixels& p, const AxisPoint& xa, const AxisPoint& ya, const AxisPoint& xb,
                                       const AxisPoint& yb, std::uint32_t colour) {
  if (xa.inside && ya.inside && xb.inside && yb.inside) {
    if (xa.pixel == xb.pixel && ya.pixel == yb.pixel)
      p.bits[ya.pixel * p.stride + xa.pixel] = colour;
    else
      Raster(p, xa.pixel, ya.pixel, xb.pixel, yb.pixel, colour);
  } else {
    DrawPixels(p, xa.position, ya.position, xb.position, yb.position, colour);
  }
}

}  // namespace

RasterImage::RasterImage(Rgb background, Rgb foreground)
    : m_background(PixelValue(background)), m_foreground(PixelValue(foreground)) {}

void RasterImage::Resize(int width, int height, double pixel_ratio) {
  m_width = std::max(width, 0);
  m_height = std::max(height, 0);
  m_pixel_ratio = pixel_ratio > 0 ? pixel_ratio : 1.0;
  m_pen = std::max(1, static_cast<int>(std::lround(m_pixel_ratio)));
  m_pixels.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), m_background);
  m_view = ViewTransform();
}

void RasterImage::Cls() { std::fill(m_pixels.begin(), m_pixels.end(), m_background); }

void RasterImage::Scale(double left, double top, double right, double bottom) {
  m_view = ViewTransform(left, top, right, bottom, m_width, m_height);
}

void RasterImage::Line(float xa, float ya, float xb, float yb, Rgb colour) {
  if (!m_view.usable()) return;
  DrawPixels({m_pixels.data(), m_width, m_width, m_height, m_pen}, m_view.PixelX(xa), m_view.PixelY(ya),
             m_view.PixelX(xb), m_view.PixelY(yb), PixelValue(colour));
}

void RasterImage::Line(float xa, float ya, float xb, float yb) {
  if (!m_view.usable()) return;
  DrawPixels({m_pixels.data(), m_width, m_width, m_height, m_pen}, m_view.PixelX(xa), m_view.PixelY(ya),
             m_view.PixelX(xb), m_view.PixelY(yb), m_foreground);
}

namespace {

// The segments between points first..last of both curves, in the order the
// plot draws them: per step the red one, then the blue one. Each point is
// converted and mapped once and shared by the segments that meet there; a
// coordinate is converted when its first segment is drawn, so an overflow
// ends the curves after the segments before it.
void DrawCurveRange(const Pixels& pixels, const ViewTransform& view, const double* x, const double* y1,
                    const double* y2, std::size_t first, std::size_t last, std::uint32_t red, std::uint32_t blue) {
  const int w = pixels.width;
  const int h = pixels.height;
  AxisPoint xa = OnAxis(view.PixelX(ToSingle(x[first])), w);
  AxisPoint ya1 = OnAxis(view.PixelY(ToSingle(y1[first])), h);
  const AxisPoint xb0 = OnAxis(view.PixelX(ToSingle(x[first + 1])), w);
  const AxisPoint yb10 = OnAxis(view.PixelY(ToSingle(y1[first + 1])), h);
  CurveSegment(pixels, xa, ya1, xb0, yb10, red);
  AxisPoint ya2 = OnAxis(view.PixelY(ToSingle(y2[first])), h);
  const AxisPoint yb20 = OnAxis(view.PixelY(ToSingle(y2[first + 1])), h);
  CurveSegment(pixels, xa, ya2, xb0, yb20, blue);
  xa = xb0;
  ya1 = yb10;
  ya2 = yb20;
  for (std::size_t i = first + 2; i <= last; ++i) {
    const AxisPoint xb = OnAxis(view.PixelX(ToSingle(x[i])), w);
    const AxisPoint yb1 = OnAxis(view.PixelY(ToSingle(y1[i])), h);
    CurveSegment(pixels, xa, ya1, xb, yb1, red);
    const AxisPoint yb2 = OnAxis(view.PixelY(ToSingle(y2[i])), h);
    CurveSegment(pixels, xa, ya2, xb, yb2, blue);
    xa = xb;
    ya1 = yb1;
    ya2 = yb2;
  }
}

// Below this many points one thread draws the curves alone, unless told otherwise.
constexpr std::size_t kParallelPoints = std::size_t{1} << 16;

}  // namespace

void RasterImage::Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first,
                         Rgb second) {
  // Wide pens (high-density screens) take the general path per segment.
  if (!m_view.usable() || points < 2 || m_pen > 1) {
    DrawingSurface::Curves(x, y1, y2, points, first, second);
    return;
  }
  const std::uint32_t red = PixelValue(first);
  const std::uint32_t blue = PixelValue(second);
  const Pixels image{m_pixels.data(), m_width, m_width, m_height, 1};
  // Every hardware thread for long curves, unless told how many; at most one
  // per segment.
  std::size_t wanted = m_threads;
  if (wanted == 0) wanted = points >= kParallelPoints ? HardwareThreads() : 1;
  const auto threads = static_cast<unsigned>(std::min(wanted, points - 1));
  if (threads <= 1) {
    DrawCurveRange(image, m_view, x, y1, y2, 0, points - 1, red, blue);
    return;
  }
  // Each thread draws a consecutive share of the steps; the first into the
  // image, the others into layers of their own where 0 means untouched.
  // Laying the layers over the image in order gives the pixels of drawing in
  // order: a later segment covers an earlier one. On an overflow, the shares
  // before the failing one and the failing one up to its failure are laid,
  // and its failure is reported, as drawing in order would.
  std::vector<std::vector<std::uint32_t>> layers(threads - 1);
  std::vector<std::exception_ptr> failures(threads);
  auto share = [&](unsigned t) {
    const std::size_t begin = (points - 1) * t / threads;
    const std::size_t end = (points - 1) * (t + 1) / threads;
    Pixels pixels = image;
    if (t > 0) {
      layers[t - 1].assign(m_pixels.size(), 0);
      pixels.bits = layers[t - 1].data();
    }
    try {
      DrawCurveRange(pixels, m_view, x, y1, y2, begin, end, red, blue);
    } catch (...) {
      failures[t] = std::current_exception();
    }
  };
  RunShares(threads, share);
  for (unsigned t = 0; t < threads; ++t) {
    if (t > 0) {
      const std::uint32_t* layer = layers[t - 1].data();
      for (std::size_t p = 0; p < m_pixels.size(); ++p)
        if (layer[p] != 0) m_pixels[p] = layer[p];
    }
    if (failures[t]) std::rethrow_exception(failures[t]);
  }
}

}  // namespace kavrin
