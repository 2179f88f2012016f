#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plot/drawing_surface.h"

namespace kavrin {

// A pixel as 0xAARRGGBB with full alpha: the layout of a 32-bit RGB image in
// Qt and of most display buffers.
constexpr std::uint32_t PixelValue(Rgb colour) {
  return 0xff000000u | (std::uint32_t{colour.red} << 16) | (std::uint32_t{colour.green} << 8) | colour.blue;
}

constexpr Rgb FromPixelValue(std::uint32_t pixel) {
  return {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
          static_cast<std::uint8_t>(pixel)};
}

// A drawing surface over a plain pixel buffer: segments one logical pixel
// wide, clipped to the image and rasterised with Bresenham's algorithm. Row r starts at
// pixels()[r * width()].
class RasterImage : public DrawingSurface {
 public:
  explicit RasterImage(Rgb background, Rgb foreground = {0, 0, 0});

  // Makes the image width x height device pixels, all in the background
  // colour, for a screen with `pixel_ratio` device pixels per logical pixel.
  // Segments are then drawn about one logical pixel wide.
  void Resize(int width, int height, double pixel_ratio = 1.0);
  void set_foreground(Rgb colour) { m_foreground = PixelValue(colour); }
  // Threads that draw the curves: 0 (the default) uses every hardware thread
  // for long curves and one for short ones; the pixels are the same for any
  // number.
  void set_threads(unsigned threads) { m_threads = threads; }

  void Cls() override;
  void Scale(double left, double top, double right, double bottom) override;
  void Line(float xa, float ya, float xb, float yb, Rgb colour) override;
  void Line(float xa, float ya, float xb, float yb) override;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second) override;
  int PixelWidth() const override { return m_width; }
  int PixelHeight() const override { return m_height; }
  double PixelRatio() const override { return m_pixel_ratio; }

  const std::uint32_t* pixels() const noexcept { return m_pixels.data(); }
  Rgb Pixel(int column, int row) const {
    return FromPixelValue(
        m_pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(column)]);
  }

 private:
  std::vector<std::uint32_t> m_pixels;
  int m_width = 0;
  int m_height = 0;
  double m_pixel_ratio = 1.0;
  int m_pen = 1;  // segment width in device pixels
  unsigned m_threads = 0;
  std::uint32_t m_background;
  std::uint32_t m_foreground;
  ViewTransform m_view;
};

}  // namespace kavrin
