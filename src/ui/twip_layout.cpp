#include "ui/twip_layout.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace kavrin {
namespace {

// The pixels a control needs to show its text whole: the text plus what the
// style draws around it (an option button's circle, a label's margins).
// Zero where a control does not limit the scale in that direction.
QSize Needed(const QWidget* widget) {
  const int text_height = widget->fontMetrics().height();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    if (label->wordWrap()) return {0, 0};  // sized by its height for the width it gets
    return {label->sizeHint().width(), text_height};
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
    return {button->sizeHint().width(), text_height};
  if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
    if (box->title().isEmpty()) return {0, 0};
    // The title and the frame's indent on both sides.
    return {box->fontMetrics().horizontalAdvance(box->title()) + 2 * box->fontMetrics().averageCharWidth() + 8, 0};
  }
  if (qobject_cast<const QLineEdit*>(widget) != nullptr) return {0, text_height + 4};
  return {0, 0};
}

double Ratio(int needed, int twips) { return needed > 0 && twips > 0 ? needed * 15.0 / twips : 0.0; }

}  // namespace

void TwipLayout::Record(QWidget* widget, const QString& name, const QRect& twips) {
  widget->setObjectName(name);
  m_placed.push_back({widget, twips});
}

void TwipLayout::Require(int twips_width, int twips_height, int width, int height) {
  m_needed = std::max({m_needed, Ratio(width, twips_width), Ratio(height, twips_height)});
}

void TwipLayout::RequireScale(double scale) { m_needed = std::max(m_needed, scale); }

int TwipLayout::Px(int twips) const {
  // The small allowance keeps an exact product from flooring one pixel short.
  return static_cast<int>(std::floor(twips * m_scale / 15 + 1e-9));
}

double TwipLayout::Apply() {
  double needed = m_needed;
  for (const Placed& p : m_placed) {
    const QSize size = Needed(p.widget);
    needed = std::max({needed, Ratio(size.width(), p.twips.width()), Ratio(size.height(), p.twips.height())});
  }
  m_scale = std::ceil(needed * 100 - 1e-9) / 100;
  // A label that wraps needs the height of its text at the width it gets.
  for (const Placed& p : m_placed) {
    const auto* label = qobject_cast<const QLabel*>(p.widget);
    if (label == nullptr || !label->wordWrap()) continue;
    while (label->heightForWidth(Px(p.twips.width())) > Px(p.twips.height()) && m_scale < 4) m_scale += 0.01;
  }
  for (const Placed& p : m_placed) {
    const QRect& t = p.twips;
    p.widget->setGeometry(Px(t.left()), Px(t.top()), Px(t.width()), Px(t.height()));
  }
  return m_scale;
}

}  // namespace kavrin
