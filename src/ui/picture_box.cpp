#include "ui/picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

namespace kavrin {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  // The sunken border of a classic picture box; the drawing area lies inside it.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  // The backing image has the screen's device pixels, so that the plot is
  // drawn at its resolution rather than enlarged.
  const double ratio = devicePixelRatioF();
  const QSize area = contentsRect().size();
  const QSize device(static_cast<int>(std::lround(area.width() * ratio)),
                     static_cast<int>(std::lround(area.height() * ratio)));
  if (device != QSize(m_raster.PixelWidth(), m_raster.PixelHeight()) || ratio != m_raster.PixelRatio())
    m_raster.Resize(device.width(), device.height(), ratio);
}

QImage PictureBox::View() const {
  QImage view(reinterpret_cast<const uchar*>(m_raster.pixels()), m_raster.PixelWidth(), m_raster.PixelHeight(),
              static_cast<qsizetype>(m_raster.PixelWidth()) * 4, QImage::Format_RGB32);
  view.setDevicePixelRatio(m_raster.PixelRatio());
  return view;
}

QImage PictureBox::image() const { return View().copy(); }

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawImage(contentsRect().topLeft(), View());
}

void PictureBox::Cls() {
  m_raster.Cls();
  update();
}

void PictureBox::Scale(double left, double top, double right, double bottom) {
  m_raster.Scale(left, top, right, bottom);
}

void PictureBox::Line(float xa, float ya, float xb, float yb, Rgb colour) { m_raster.Line(xa, ya, xb, yb, colour); }

void PictureBox::Line(float xa, float ya, float xb, float yb) { m_raster.Line(xa, ya, xb, yb); }

void PictureBox::Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first,
                        Rgb second) {
  m_raster.Curves(x, y1, y2, points, first, second);
}

}  // namespace kavrin
