#include "ui/chart_view.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "render/chart_painter.h"

namespace kavrin {

ChartView::ChartView(QWidget* parent) : QWidget(parent), m_measure(PainterTextWidth(kChartFont)) {
  setMinimumSize(360, 300);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartView::Show(Builder build) {
  m_build = std::move(build);
  m_chart.reset();
  update();
}

void ChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!m_build) return;
  if (!m_chart || m_chart->width != width() || m_chart->height != height())
    m_chart = m_build({width(), height()}, m_measure);
  PaintChart(painter, *m_chart);
}

QPushButton* NamedButton(QWidget* parent, const char* caption, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

void PlaceNumberedWindow(QWidget* window, int number) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect free = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 960, 820);
  constexpr int kFrame = 40;  // what a window manager adds around the window, at most
  const QSize size(std::min(960, free.width() * 95 / 100), std::min(820, free.height() * 90 / 100 - kFrame));
  window->resize(size);
  const int room_x = std::max(0, free.width() - size.width() - kFrame);
  const int room_y = std::max(0, free.height() - size.height() - kFrame);
  const int step = 32 * (number - 1);
  window->move(free.left() + (room_x / 3 + step) % (room_x + 1), free.top() + (room_y / 3 + step) % (room_y + 1));
}

}  // namespace kavrin
