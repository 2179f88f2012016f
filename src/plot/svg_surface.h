#pragma once

#include <string>

#include "plot/drawing_surface.h"

namespace kavrin {

// A drawing surface that writes SVG: the picture the plot draws, as vectors,
// width x height pixels. Each curve keeps at most one point per pixel column
// (the first to reach it, and the last point), so that ten million steps
// make a file of a few thousand points; grid lines and axes are written as
// they are drawn. Everything is clipped to the picture.
class SvgSurface : public DrawingSurface {
 public:
  SvgSurface(int width, int height, Rgb background, Rgb foreground);

  void Cls() override;
  void Scale(double left, double top, double right, double bottom) override;
  void Line(float xa, float ya, float xb, float yb, Rgb colour) override;
  void Line(float xa, float ya, float xb, float yb) override;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second) override;
  int PixelWidth() const override { return m_width; }
  int PixelHeight() const override { return m_height; }

  // The whole document.
  std::string Document() const;

 private:
  void Segment(double xa, double ya, double xb, double yb, Rgb colour);

  int m_width;
  int m_height;
  Rgb m_background;
  Rgb m_foreground;
  ViewTransform m_view;
  std::string m_body;
};

}  // namespace kavrin
