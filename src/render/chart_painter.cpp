#include "render/chart_painter.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <cmath>
#include <map>
#include <memory>

#include "core/files.h"

namespace kavrin {
namespace {

QFont ChartFont(const std::string& family, double size) {
  QFont font(QString::fromStdString(family));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
  return font;
}

QColor Colour(Rgb c) { return {c.red, c.green, c.blue}; }

QPointF Point(const ChartPoint& p) { return {p.x, p.y}; }

QPen Pen(const ChartShape& s) {
  if (!s.stroked) return Qt::NoPen;
  QPen pen(Colour(s.stroke), s.width);
  pen.setCapStyle(Qt::FlatCap);
  if (s.dashed) pen.setDashPattern({6 / s.width, 4 / s.width});
  return pen;
}

void Marker(QPainter& p, const ChartShape& s) {
  const QPointF c = Point(s.points.front());
  const double r = s.size;
  p.setPen(Pen(s));
  p.setBrush(s.filled ? QBrush(Colour(s.fill)) : QBrush(Qt::NoBrush));
  switch (s.marker) {
    case MarkerShape::Circle:
      p.drawEllipse(c, r, r);
      break;
    case MarkerShape::Square:
      p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
      break;
    case MarkerShape::TriangleUp:
      p.drawPolygon(QPolygonF{{c.x(), c.y() - r}, {c.x() + r, c.y() + r}, {c.x() - r, c.y() + r}});
      break;
    case MarkerShape::Diamond:
      p.drawPolygon(QPolygonF{{c.x(), c.y() - r}, {c.x() + r, c.y()}, {c.x(), c.y() + r}, {c.x() - r, c.y()}});
      break;
    case MarkerShape::TriangleDown:
      p.drawPolygon(QPolygonF{{c.x(), c.y() + r}, {c.x() + r, c.y() - r}, {c.x() - r, c.y() - r}});
      break;
    case MarkerShape::Plus:
      p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
      p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
      break;
    case MarkerShape::Cross:
      p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
      p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
      break;
  }
}

void Text(QPainter& p, const ChartShape& s, const std::string& family) {
  const QFont base = ChartFont(family, s.size);
  const QFont small = ChartFont(family, s.size * 0.75);
  const QString text = QString::fromStdString(s.text);
  const QString superscript = QString::fromStdString(s.superscript);
  const double w1 = QFontMetricsF(base).horizontalAdvance(text);
  const double w2 = superscript.isEmpty() ? 0.0 : QFontMetricsF(small).horizontalAdvance(superscript);
  const double width = w1 + w2;
  const double start = s.anchor == TextAnchor::Start ? 0 : s.anchor == TextAnchor::Middle ? -width / 2 : -width;
  p.save();
  p.translate(Point(s.points.front()));
  if (s.upright) p.rotate(-90);
  p.setPen(Colour(s.stroke));
  p.setFont(base);
  p.drawText(QPointF(start, 0), text);
  if (!superscript.isEmpty()) {
    p.setFont(small);
    p.drawText(QPointF(start + w1, -s.size * 0.36), superscript);
  }
  p.restore();
}

}  // namespace

TextWidth PainterTextWidth(const std::string& family) {
  // A chart measures hundreds of texts in a few sizes: the metrics of each
  // size are made once.
  auto metrics = std::make_shared<std::map<int, QFontMetricsF>>();
  return [family, metrics](std::string_view text, double size) {
    const int pixels = std::max(1, static_cast<int>(std::lround(size)));
    auto found = metrics->find(pixels);
    if (found == metrics->end()) found = metrics->emplace(pixels, QFontMetricsF(ChartFont(family, size))).first;
    return found->second.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  };
}

void PaintChart(QPainter& p, const Chart& chart) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setFont(ChartFont(chart.font_family, 13));
  for (const ChartShape& s : chart.shapes) {
    switch (s.kind) {
      case ChartShape::Kind::Line:
        p.setPen(Pen(s));
        p.drawLine(Point(s.points[0]), Point(s.points[1]));
        break;
      case ChartShape::Kind::Polyline:
      case ChartShape::Kind::Polygon: {
        QPolygonF points;
        for (const ChartPoint& point : s.points) points << Point(point);
        p.setPen(Pen(s));
        p.setBrush(s.filled ? QBrush(Colour(s.fill)) : QBrush(Qt::NoBrush));
        if (s.kind == ChartShape::Kind::Polyline)
          p.drawPolyline(points);
        else
          p.drawPolygon(points);
        break;
      }
      case ChartShape::Kind::Rect:
        p.setPen(Pen(s));
        p.setBrush(s.filled ? QBrush(Colour(s.fill)) : QBrush(Qt::NoBrush));
        p.drawRect(QRectF(Point(s.points[0]), Point(s.points[1])));
        break;
      case ChartShape::Kind::Marker:
        Marker(p, s);
        break;
      case ChartShape::Kind::Text:
        Text(p, s, chart.font_family);
        break;
    }
  }
}

QByteArray ChartSvg(const Chart& chart, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(chart.width, chart.height));
  generator.setViewBox(QRect(0, 0, chart.width, chart.height));
  generator.setTitle(title);
  QPainter painter;
  if (!painter.begin(&generator)) return {};
  PaintChart(painter, chart);
  if (!painter.end()) return {};
  // Qt names the one family; browsers and rsvg without it fall back to
  // serif unless told otherwise.
  const QByteArray family = QByteArray::fromStdString(chart.font_family);
  bytes.replace("font-family=\"" + family + "\"", "font-family=\"" + family + ", sans-serif\"");
  return bytes;
}

QByteArray ChartPng(const Chart& chart, double pixel_ratio) {
  QImage image(static_cast<int>(std::lround(chart.width * pixel_ratio)),
               static_cast<int>(std::lround(chart.height * pixel_ratio)), QImage::Format_RGB32);
  image.setDevicePixelRatio(pixel_ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  PaintChart(painter, chart);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // Quality 80 is zlib's fastest level: a chart's few flat colours compress
  // well at it, in a third of the default's time.
  return image.save(&buffer, "PNG", 80) ? bytes : QByteArray();
}

std::optional<Failure> SaveChart(const Chart& chart, const std::string& path, const QString& title, bool svg,
                                 double pixel_ratio) {
  // Drawn into memory first: Qt's SVG generator does not report a failed
  // write, and the checked writer puts the whole file in place or nothing.
  const QByteArray bytes = svg ? ChartSvg(chart, title) : ChartPng(chart, pixel_ratio);
  if (bytes.isEmpty())
    return Failure{
        FailureKind::Output, {Field::File}, {}, "cannot write " + path + ": the chart could not be drawn", {}};
  return WriteFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace kavrin
