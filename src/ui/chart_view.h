#pragma once

#include <QPushButton>
#include <QWidget>
#include <functional>
#include <optional>

#include "plot/chart.h"

namespace kavrin {

// A chart model painted in a widget, built anew when the widget's size or
// what it shows changes, and only then.
class ChartView : public QWidget {
 public:
  using Builder = std::function<Chart(ChartSize size, const TextWidth& measure)>;

  explicit ChartView(QWidget* parent);
  // What to draw; an empty builder leaves the view blank.
  void Show(Builder build);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Builder m_build;
  std::optional<Chart> m_chart;
  TextWidth m_measure;
};

// A button with its caption and object name.
QPushButton* NamedButton(QWidget* parent, const char* caption, const char* name);

// Sizes a tool window to at most 960 x 820 within the screen's free area,
// with room for the title bar, and places the window numbered `number` a
// little lower and further right than the one before, back to the top left
// when that would leave the free area.
void PlaceNumberedWindow(QWidget* window, int number);

}  // namespace kavrin
