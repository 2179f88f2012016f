#include "ui/picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace kavrin {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  // The sunken border of a classic picture box; the drawing area lies inside it.
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const QSize area = contentsRect().size();
  if (area != QSize(m_raster.PixelWidth(), m_raster.PixelHeight())) m_raster.Resize(area.width(), area.height());
}

QImage PictureBox::View() const {
  return QImage(reinterpret_cast<const uchar*>(m_raster.pixels()), m_raster.PixelWidth(), m_raster.PixelHeight(),
                static_cast<qsizetype>(m_raster.PixelWidth()) * 4, QImage::Format_RGB32);
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

void PictureBox::Line(float xa, float ya, float xb, float yb) {
  const QColor foreground = palette().color(QPalette::WindowText);
  m_raster.Line(xa, ya, xb, yb,
                Rgb{static_cast<std::uint8_t>(foreground.red()), static_cast<std::uint8_t>(foreground.green()),
                    static_cast<std::uint8_t>(foreground.blue())});
}

void PictureBox::Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first,
                        Rgb second) {
  m_raster.Curves(x, y1, y2, points, first, second);
}

}  // namespace kavrin
