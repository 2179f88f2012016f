#pragma once

#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace kavrin {

// A fixed layout given in twips (1/1440 inch), turned into pixels at one
// factor for the whole window: 15 twips per pixel when the user's font fits
// the design, and just enough more pixels that every caption fits when the
// font is wider. The font itself is never changed.
class TwipLayout {
 public:
  // Records a widget and its place in twips, names it, and returns it.
  template <typename W>
  W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    Record(widget, QString::fromLatin1(name), QRect(left, top, width, height));
    return widget;
  }

  // Asks for at least `width` x `height` pixels in the control placed
  // `twips_width` x `twips_height` twips (for needs the widgets cannot tell,
  // such as the widest line of a list). Zero asks nothing in that direction.
  void Require(int twips_width, int twips_height, int width, int height);

  // Asks for at least this scale (another window's, so that both grow alike).
  void RequireScale(double scale);

  // The smallest scale (at least 1, in steps of 1/100) at which every placed
  // control, and every requirement, fits; then places every control with it.
  double Apply();

  double scale() const { return m_scale; }
  // Twips to pixels at the current scale.
  int Px(int twips) const;

 private:
  struct Placed {
    QWidget* widget;
    QRect twips;
  };

  void Record(QWidget* widget, const QString& name, const QRect& twips);

  std::vector<Placed> m_placed;
  double m_needed = 1.0;
  double m_scale = 1.0;
};

}  // namespace kavrin
