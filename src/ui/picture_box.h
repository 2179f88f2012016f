#pragma once

#include <QFrame>
#include <QImage>

#include "ui/drawing_surface.h"

namespace kavrin {

// The picture box: a drawing surface that rasterises its lines straight into
// a backing image, which paintEvent copies to the screen, so the picture
// survives the window being covered and restored.
class PictureBox : public QFrame, public DrawingSurface {
 public:
  static constexpr Rgb kBackground{255, 255, 192};

  explicit PictureBox(QWidget* parent = nullptr);

  void Cls() override;
  void Scale(double left, double top, double right, double bottom) override;
  void Line(float xa, float ya, float xb, float yb, Rgb colour) override;
  void Line(float xa, float ya, float xb, float yb) override;
  void Curves(const double* x, const double* y1, const double* y2, std::size_t points, Rgb first, Rgb second) override;
  int PixelWidth() const override { return m_image.width(); }
  int PixelHeight() const override { return m_image.height(); }

  const QImage& image() const { return m_image; }

  // The backing image's pixels, taken once per drawing call.
  struct Pixels {
    QRgb* bits;
    qsizetype stride;
    int width;
    int height;
  };

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Pixels WritablePixels();

  void Draw(float xa, float ya, float xb, float yb, QRgb colour);

  QImage m_image;
  ViewTransform m_view;
};

}  // namespace kavrin
