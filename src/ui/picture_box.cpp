#include "ui/picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cstdlib>

namespace kavrin {
namespace {

QRgb ToQRgb(Rgb c) { return qRgb(c.red, c.green, c.blue); }

// Liang-Barsky: shortens the segment (x0,y0)-(x1,y1) to the box
// [0, w] x [0, h]; false when nothing of it lies inside.
bool Clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  double t0 = 0;
  double t1 = 1;
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
    return true;
  };
  if (!(edge(-dx, x0) && edge(dx, w - x0) && edge(-dy, y0) && edge(dy, h - y0))) return false;
  const double ax = x0 + t0 * dx;
  const double ay = y0 + t0 * dy;
  x1 = x0 + t1 * dx;
  y1 = y0 + t1 * dy;
  x0 = ax;
  y0 = ay;
  return true;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  // The sunken border of a classic picture box; the drawing area lies inside it.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const QSize area = contentsRect().size();
  if (area != m_image.size()) {
    m_image = QImage(area, QImage::Format_RGB32);
    m_image.fill(ToQRgb(kBackground));
  }
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawImage(contentsRect().topLeft(), m_image);
}

void PictureBox::Cls() {
  m_image.fill(ToQRgb(kBackground));
  update();
}

void PictureBox::Scale(double left, double top, double right, double bottom) {
  m_view = ViewTransform(left, top, right, bottom, m_image.width(), m_image.height());
}

void PictureBox::Line(float xa, float ya, float xb, float yb, Rgb colour) { Draw(xa, ya, xb, yb, ToQRgb(colour)); }

void PictureBox::Line(float xa, float ya, float xb, float yb) {
  Draw(xa, ya, xb, yb, palette().color(QPalette::WindowText).rgb());
}

void PictureBox::Draw(float xa, float ya, float xb, float yb, QRgb colour) {
  if (!m_view.usable()) return;
  double x0 = m_view.PixelX(xa);
  double y0 = m_view.PixelY(ya);
  double x1 = m_view.PixelX(xb);
  double y1 = m_view.PixelY(yb);
  const double w = m_image.width();
  const double h = m_image.height();
  const bool inside = x0 >= 0 && x0 < w && y0 >= 0 && y0 < h && x1 >= 0 && x1 < w && y1 >= 0 && y1 < h;
  if (!inside && !Clip(x0, y0, x1, y1, w, h)) return;
  // Pixel c covers [c, c + 1); a point on the far edge belongs to the last pixel.
  const int last_x = m_image.width() - 1;
  const int last_y = m_image.height() - 1;
  Raster(std::min(static_cast<int>(x0), last_x), std::min(static_cast<int>(y0), last_y),
         std::min(static_cast<int>(x1), last_x), std::min(static_cast<int>(y1), last_y), colour);
}

void PictureBox::Raster(int xa, int ya, int xb, int yb, QRgb colour) {
  auto* const bits = reinterpret_cast<QRgb*>(m_image.bits());
  const qsizetype stride = m_image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  // Bresenham: one pixel per step along the major axis.
  const int dx = std::abs(xb - xa);
  const int dy = -std::abs(yb - ya);
  const int sx = xa < xb ? 1 : -1;
  const int sy = ya < yb ? 1 : -1;
  int error = dx + dy;
  for (;;) {
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

}  // namespace kavrin
