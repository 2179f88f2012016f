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
// From this many points per pixel column on, curves are drawn column by column.
constexpr std::size_t kColumnPoints = 64;

// A coordinate in single precision, or false when it lies beyond that range
// (where ToSingle would throw) or is no number.
bool SafeSingle(double value, float& single) {
  if (!(value >= -3.4028234663852886e38 && value <= 3.4028234663852886e38)) return false;
  single = static_cast<float>(value);
  return true;
}

// The points of one pixel column, first to last, when x runs one way (as a
// march's does): the extremes of both curves among them, and whether their
// x kept its direction and every value was a number.
struct ColumnRun {
  std::size_t first = 0;
  std::size_t last = 0;
  double low1 = 0, high1 = 0, low2 = 0, high2 = 0;
  bool ordered = true;
};

// The runs of points that share a pixel column, found by bisection on the
// columns of x, which a monotone x keeps in order. False when an end of x
// lies outside the picture or beyond single precision.
bool FindColumnRuns(const ViewTransform& view, int width, const double* x, std::size_t points,
                    std::vector<ColumnRun>& runs) {
  auto column = [&](std::size_t i) {
    float single = 0;
    if (!SafeSingle(x[i], single)) return -1;
    const AxisPoint p = OnAxis(view.PixelX(single), width);
    return p.inside ? p.pixel : -1;
  };
  const int first_column = column(0);
  const int last_column = column(points - 1);
  if (first_column < 0 || last_column < 0) return false;
  const bool forward = last_column >= first_column;
  for (std::size_t a = 0; a < points;) {
    const int c = column(a);
    if (c < 0) return false;
    // The last point of column c: the columns after a run one way.
    std::size_t low = a, high = points;
    while (high - low > 1) {
      const std::size_t middle = low + (high - low) / 2;
      const int m = column(middle);
      (m >= 0 && (forward ? m <= c : m >= c) ? low : high) = middle;
    }
    runs.push_back({a, low});
    a = low + 1;
  }
  return true;
}

// The extremes of one run, and whether x kept its direction from the point
// before the run on; values that are no number break the order.
void ScanRun(ColumnRun& run, const double* x, const double* y1, const double* y2, bool forward) {
  double low1 = y1[run.first], high1 = low1, low2 = y2[run.first], high2 = low2;
  double nan_check = low1 * 0.0 + low2 * 0.0;
  bool ordered = run.first == 0 || (forward ? x[run.first - 1] <= x[run.first] : x[run.first - 1] >= x[run.first]);
  for (std::size_t i = run.first + 1; i <= run.last; ++i) {
    const double a = y1[i];
    const double b = y2[i];
    low1 = a < low1 ? a : low1;
    high1 = a > high1 ? a : high1;
    low2 = b < low2 ? b : low2;
    high2 = b > high2 ? b : high2;
    nan_check += a * 0.0;
    nan_check += b * 0.0;
    ordered = ordered && (forward ? x[i - 1] <= x[i] : x[i - 1] >= x[i]);
  }
  run = {run.first, run.last, low1, high1, low2, high2, ordered && nan_check == 0};
}

// The rows a curve covers among a run's points: from the row of its highest
// value to that of its lowest. False when one lies outside the picture.
bool RowSpan(const ViewTransform& view, int height, double low, double high, int& top, int& bottom) {
  float low_single = 0, high_single = 0;
  if (!SafeSingle(low, low_single) || !SafeSingle(high, high_single)) return false;
  const AxisPoint a = OnAxis(view.PixelY(high_single), height);
  const AxisPoint b = OnAxis(view.PixelY(low_single), height);
  top = std::min(a.pixel, b.pixel);
  bottom = std::max(a.pixel, b.pixel);
  return a.inside && b.inside;
}

// The segments of both curves between consecutive points of one column are
// each a vertical run of pixels in it, so together they cover, per curve,
// the rows between its extremes there. Where the two curves' rows do not
// meet, the order of drawing does not matter within the column: each span is
// filled once. The segments that cross into a column are drawn as they are,
// in their order. The pixels are those of drawing every segment in order.
class ColumnPainter {
 public:
  ColumnPainter(const Pixels& pixels, const ViewTransform& view, const double* x, const double* y1, const double* y2)
      : m_pixels(pixels), m_view(view), m_x(x), m_y1(y1), m_y2(y2) {}

  // The spans of every run, or false when a run's curves share rows in too
  // many points to gain anything, or a run lies outside the picture.
  bool Plan(const std::vector<ColumnRun>& runs, std::size_t points) {
    std::size_t shared = 0;
    m_spans.clear();
    for (const ColumnRun& run : runs) {
      Span span;
      if (!run.ordered || !RowSpan(m_view, m_pixels.height, run.low1, run.high1, span.top1, span.bottom1) ||
          !RowSpan(m_view, m_pixels.height, run.low2, run.high2, span.top2, span.bottom2))
        return false;
      span.apart = span.bottom1 < span.top2 || span.bottom2 < span.top1;
      if (!span.apart) shared += run.last - run.first + 1;
      m_spans.push_back(span);
    }
    return shared <= points / 4;
  }

  void Paint(const std::vector<ColumnRun>& runs, std::uint32_t red, std::uint32_t blue) {
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const ColumnRun& run = runs[r];
      if (run.first > 0) DrawCurveRange(m_pixels, m_view, m_x, m_y1, m_y2, run.first - 1, run.first, red, blue);
      if (run.last == run.first) continue;
      const Span& span = m_spans[r];
      if (!span.apart) {
        DrawCurveRange(m_pixels, m_view, m_x, m_y1, m_y2, run.first, run.last, red, blue);
        continue;
      }
      float x_single = 0;
      SafeSingle(m_x[run.first], x_single);
      const int column = OnAxis(m_view.PixelX(x_single), m_pixels.width).pixel;
      for (int row = span.top1; row <= span.bottom1; ++row) m_pixels.bits[row * m_pixels.stride + column] = red;
      for (int row = span.top2; row <= span.bottom2; ++row) m_pixels.bits[row * m_pixels.stride + column] = blue;
    }
  }

 private:
  struct Span {
    int top1 = 0, bottom1 = 0, top2 = 0, bottom2 = 0;
    bool apart = false;
  };
  const Pixels& m_pixels;
  const ViewTransform& m_view;
  const double* m_x;
  const double* m_y1;
  const double* m_y2;
  std::vector<Span> m_spans;
};

// Draws long curves column by column (see ColumnPainter), scanning the
// columns on `threads` threads; false, with nothing drawn, where that cannot
// be done or would gain nothing.
bool PaintByColumns(const Pixels& image, const ViewTransform& view, const double* x, const double* y1, const double* y2,
                    std::size_t points, unsigned threads, std::uint32_t red, std::uint32_t blue) {
  std::vector<ColumnRun> runs;
  if (!FindColumnRuns(view, image.width, x, points, runs)) return false;
  const bool forward = x[points - 1] >= x[0];
  // Consecutive runs per thread, about as many points each, chosen before
  // any thread starts: each thread touches its own runs only.
  std::vector<std::size_t> shares(threads + 1, runs.size());
  for (unsigned t = 0; t < threads; ++t) {
    const std::size_t from = points * t / threads;
    shares[t] = static_cast<std::size_t>(
        std::find_if(runs.begin(), runs.end(), [from](const ColumnRun& run) { return run.first >= from; }) -
        runs.begin());
  }
  RunShares(threads, [&](unsigned t) {
    for (std::size_t r = shares[t]; r < shares[t + 1]; ++r) ScanRun(runs[r], x, y1, y2, forward);
  });
  ColumnPainter painter(image, view, x, y1, y2);
  if (!painter.Plan(runs, points)) return false;
  painter.Paint(runs, red, blue);
  return true;
}

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
  // Long curves have many points in each pixel column.
  if (points >= kColumnPoints * static_cast<std::size_t>(m_width) &&
      PaintByColumns(image, m_view, x, y1, y2, points, threads, red, blue))
    return;
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
