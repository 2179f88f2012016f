#pragma once

#include <QFrame>
#include <QImage>

#include "plot/graphic.h"
#include "plot/raster_image.h"

namespace kavrin {

// The picture box: a drawing surface whose lines are rasterised into a
// backing pixel buffer at the screen's resolution, which paintEvent copies to
// the screen, so the picture survives the window being covered and restored.
class PictureBox : public QFrame, public DrawingSurface {
 public:
  explicit PictureBox(QWidget* parent = nullptr);

  void Cls() override;
  void Scale(double left, double top, double right, double bottom) override;
  void Line(float xa, float ya, float xb, float yb, Rgb colour) override;
  void Line(float xa, float ya, float xb, float yb) override;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second) override;
  int PixelWidth() const override { return m_raster.PixelWidth(); }
  int PixelHeight() const override { return m_raster.PixelHeight(); }
  double PixelRatio() const override { return m_raster.PixelRatio(); }

  // A copy of the picture as it stands.
  QImage image() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The backing buffer seen as an image, without a copy.
  QImage View() const;

  // The pale yellow background and the black of the axes, fixed together so
  // that the axes read the same under any colour scheme.
  RasterImage m_raster{kPaleYellow, kAxisBlack};
};

}  // namespace kavrin
