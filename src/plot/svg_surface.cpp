#include "plot/svg_surface.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/number_text.h"
#include "plot/chart.h"

namespace kavrin {
namespace {

std::string Colour(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.red, c.green, c.blue);
  return text;
}

std::string Number(double value) { return RoundTripText(std::round(value * 100) / 100); }

}  // namespace

SvgSurface::SvgSurface(int width, int height, Rgb background, Rgb foreground)
    : m_width(width), m_height(height), m_background(background), m_foreground(foreground) {}

void SvgSurface::Cls() { m_body.clear(); }

void SvgSurface::Scale(double left, double top, double right, double bottom) {
  m_view = ViewTransform(left, top, right, bottom, m_width, m_height);
}

void SvgSurface::Segment(double xa, double ya, double xb, double yb, Rgb colour) {
  if (!m_view.usable()) return;
  ChartPoint a{m_view.PixelX(xa), m_view.PixelY(ya)};
  ChartPoint b{m_view.PixelX(xb), m_view.PixelY(yb)};
  if (!ClipSegment(a, b, {0, 0, static_cast<double>(m_width), static_cast<double>(m_height)})) return;
  m_body += "<line x1=\"" + Number(a.x) + "\" y1=\"" + Number(a.y) + "\" x2=\"" + Number(b.x) + "\" y2=\"" +
            Number(b.y) + "\" stroke=\"" + Colour(colour) + "\"/>\n";
}

void SvgSurface::Line(float xa, float ya, float xb, float yb, Rgb colour) { Segment(xa, ya, xb, yb, colour); }

void SvgSurface::Line(float xa, float ya, float xb, float yb) { Segment(xa, ya, xb, yb, m_foreground); }

void SvgSurface::Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first,
                        Rgb second) {
  if (!m_view.usable() || points < 2) return;
  // The points kept: the first to reach each pixel column, and the last.
  // Every coordinate goes through ToSingle, so that a value too large to
  // plot fails here as it does on the screen.
  std::vector<std::size_t> kept;
  double column = NAN;
  for (std::size_t i = 0; i < points; ++i) {
    const float xs = ToSingle(x[i]);
    ToSingle(y1[i]);
    ToSingle(y2[i]);
    const double c = std::floor(m_view.PixelX(xs));
    if (i == 0 || i + 1 == points || c != column) kept.push_back(i);
    column = c;
  }
  const ChartBox box{0, 0, static_cast<double>(m_width), static_cast<double>(m_height)};
  for (const auto& curve : {std::pair{y1, first}, std::pair{y2, second}}) {
    const double* ys = curve.first;
    const Rgb colour = curve.second;

    std::string polyline;
    ChartPoint end{NAN, NAN};
    auto close = [&] {
      if (!polyline.empty())
        m_body += "<polyline fill=\"none\" stroke=\"" + Colour(colour) + "\" points=\"" + polyline + "\"/>\n";
      polyline.clear();
    };
    for (std::size_t k = 1; k < kept.size(); ++k) {
      const std::size_t i = kept[k - 1];
      const std::size_t j = kept[k];
      ChartPoint a{m_view.PixelX(static_cast<float>(x[i])), m_view.PixelY(static_cast<float>(ys[i]))};
      ChartPoint b{m_view.PixelX(static_cast<float>(x[j])), m_view.PixelY(static_cast<float>(ys[j]))};
      if (!ClipSegment(a, b, box)) {
        close();
        continue;
      }
      if (polyline.empty() || a.x != end.x || a.y != end.y) {
        close();
        polyline = Number(a.x) + "," + Number(a.y);
      }
      polyline.append(" ").append(Number(b.x)).append(",").append(Number(b.y));
      end = b;
    }
    close();
  }
}

std::string SvgSurface::Document() const {
  const std::string w = std::to_string(m_width);
  const std::string h = std::to_string(m_height);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w +
         "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
         "\" stroke-width=\"1\">\n<title>Kavrin: y1 in red and y2 in blue against x</title>\n<rect width=\"" + w +
         "\" height=\"" + h + "\" fill=\"" + Colour(m_background) + "\"/>\n" + m_body + "</svg>\n";
}

}  // namespace kavrin
