#include "cli/study_chart.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/solution_csv.h"
#include "core/study.h"
#include "core/study_report.h"
#include "platform/output_file.h"

namespace kavrin {
namespace {

// Okabe and Ito's colours, which stay apart for colour-blind readers (their
// yellow, too pale on white, replaced by black), one per method in order.
const QColor kColours[kMethodCount] = {QColor(0, 0, 0),      QColor(230, 159, 0), QColor(86, 180, 233),
                                       QColor(0, 158, 115),  QColor(0, 114, 178), QColor(213, 94, 0),
                                       QColor(204, 121, 167)};
enum class Marker { Circle, Square, TriangleUp, Diamond, TriangleDown, Plus, Cross };
constexpr Marker kMarkers[kMethodCount] = {Marker::Circle,       Marker::Square, Marker::TriangleUp, Marker::Diamond,
                                           Marker::TriangleDown, Marker::Plus,   Marker::Cross};
constexpr int kGuideOrders[] = {1, 2, 4, 5};

void DrawMarker(QPainter& p, Marker marker, QPointF c, const QColor& colour, bool hollow) {
  constexpr double r = 4.5;
  p.setPen(QPen(colour, 1.6));
  p.setBrush(hollow ? QBrush(Qt::white) : QBrush(colour));
  switch (marker) {
    case Marker::Circle:
      p.drawEllipse(c, r, r);
      break;
    case Marker::Square:
      p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
      break;
    case Marker::TriangleUp:
      p.drawPolygon(QPolygonF{{c.x(), c.y() - r}, {c.x() + r, c.y() + r}, {c.x() - r, c.y() + r}});
      break;
    case Marker::Diamond:
      p.drawPolygon(QPolygonF{{c.x(), c.y() - r}, {c.x() + r, c.y()}, {c.x(), c.y() + r}, {c.x() - r, c.y()}});
      break;
    case Marker::TriangleDown:
      p.drawPolygon(QPolygonF{{c.x(), c.y() + r}, {c.x() + r, c.y() - r}, {c.x() - r, c.y() - r}});
      break;
    case Marker::Plus:
      p.setPen(QPen(colour, 2.2));
      p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
      p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
      break;
    case Marker::Cross:
      p.setPen(QPen(colour, 2.2));
      p.drawLine(QPointF(c.x() - r, c.y() - r), QPointF(c.x() + r, c.y() + r));
      p.drawLine(QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() - r));
      break;
  }
}

// "10" with the exponent raised, right- or centre-aligned at `anchor`.
void DecadeLabel(QPainter& p, int exponent, QPointF anchor, bool right) {
  const QFont base = p.font();
  QFont small = base;
  small.setPointSizeF(base.pointSizeF() * 0.75);
  const QString ten = QStringLiteral("10");
  const QString power = QString::number(exponent);
  const double w1 = QFontMetricsF(base).horizontalAdvance(ten);
  const double w2 = QFontMetricsF(small).horizontalAdvance(power);
  const double left = right ? anchor.x() - w1 - w2 : anchor.x() - (w1 + w2) / 2;
  p.drawText(QPointF(left, anchor.y()), ten);
  p.setFont(small);
  p.drawText(QPointF(left + w1, anchor.y() - QFontMetricsF(base).ascent() * 0.45), power);
  p.setFont(base);
}

bool Drawn(const StudyRun& run) {
  return (run.status == StudyRun::Status::Measured || run.status == StudyRun::Status::AtFloor) && run.error > 0 &&
         std::isfinite(run.error);
}

}  // namespace

void DrawStudyChart(QPainter& p, const Study& study) {
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(QRect(0, 0, kChartWidth, kChartHeight), Qt::white);
  QFont font = p.font();
  font.setPointSizeF(10);
  p.setFont(font);
  p.setPen(Qt::black);
  const QRectF area(90, 50, kChartWidth - 90 - 270, kChartHeight - 50 - 70);
  p.drawText(QRectF(0, 12, kChartWidth, 24), Qt::AlignHCenter,
             QStringLiteral("Error at x1 = %1 against the number of steps N")
                 .arg(QString::fromStdString(RoundTripText(study.x1))));

  // The decades the data span.
  double n_low = HUGE_VAL, n_high = -HUGE_VAL, e_low = HUGE_VAL, e_high = -HUGE_VAL;
  for (const StudyRun& run : study.runs) {
    n_low = std::min(n_low, run.N);
    n_high = std::max(n_high, run.N);
    if (!Drawn(run)) continue;
    e_low = std::min({e_low, run.error, study.Floor(run.N)});
    e_high = std::max(e_high, run.error);
  }
  if (study.runs.empty() || !(e_low <= e_high)) {
    p.drawRect(area);
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
               study.reference.valid() ? QStringLiteral("No error to show")
                                       : QStringLiteral("No reference: the solution grows without bound before x1"));
    return;
  }
  // N spans its own range with a margin; the errors whole decades.
  const double span = std::max(std::log10(n_high) - std::log10(n_low), 0.5);
  const double x0 = std::log10(n_low) - span * 0.04, x1 = std::log10(n_high) + span * 0.04;
  const double y0 = std::floor(std::log10(e_low)), y1 = std::max(std::ceil(std::log10(e_high)), y0 + 1);
  auto at = [&](double n, double e) {
    return QPointF(area.left() + (std::log10(n) - x0) / (x1 - x0) * area.width(),
                   area.bottom() - (std::log10(e) - y0) / (y1 - y0) * area.height());
  };

  // The floor band under round-off and the reference's reach.
  QPolygonF band;
  band << QPointF(area.left(), area.bottom());
  for (int i = 0; i <= 64; ++i) {
    const double n = std::pow(10.0, x0 + (x1 - x0) * i / 64);
    band << at(n, std::max(study.Floor(n), std::pow(10.0, y0)));
  }
  band << QPointF(area.right(), area.bottom());
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(225, 225, 225));
  p.drawPolygon(band.intersected(QPolygonF(area)));

  // The study's step counts across, decades of the error upwards.
  p.setBrush(Qt::NoBrush);
  std::vector<double> counts;
  for (const StudyRun& run : study.runs)
    if (std::find(counts.begin(), counts.end(), run.N) == counts.end()) counts.push_back(run.N);
  std::sort(counts.begin(), counts.end());
  const std::size_t every = counts.size() > 12 ? (counts.size() + 11) / 12 : 1;
  for (std::size_t i = 0; i < counts.size(); i += every) {
    const double x = at(counts[i], 1).x();
    p.setPen(QPen(QColor(215, 215, 215), 0.8));
    p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    p.setPen(Qt::black);
    p.drawText(QRectF(x - 40, area.bottom() + 6, 80, 18), Qt::AlignHCenter,
               QString::fromStdString(RoundTripText(counts[i])));
  }
  const int y_step = std::max(1, static_cast<int>(std::ceil((y1 - y0) / 12)));
  for (int d = static_cast<int>(y0); d <= static_cast<int>(y1); d += y_step) {
    const double y = at(1, std::pow(10.0, d)).y();
    p.setPen(QPen(QColor(200, 200, 200), 0.8));
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    p.setPen(Qt::black);
    DecadeLabel(p, d, QPointF(area.left() - 8, y + 5), true);
  }
  p.drawText(QRectF(area.left(), area.bottom() + 34, area.width(), 20), Qt::AlignHCenter,
             QStringLiteral("number of steps N"));
  p.save();
  p.translate(22, area.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-area.height() / 2, -12, area.height(), 20), Qt::AlignHCenter,
             QStringLiteral("error, the larger of |y1 - ref| and |y2 - ref|"));
  p.restore();
  p.setPen(QColor(90, 90, 90));
  p.drawText(QRectF(area.left() + 6, area.bottom() - 20, area.width() - 12, 16), Qt::AlignLeft,
             QStringLiteral("floor: round-off and the reference's error"));

  p.save();
  p.setClipRect(area);
  // Guide slopes, each through the first point of the first method of its
  // order, raised by a factor of 4 so that it runs beside the data.
  for (const int order : kGuideOrders) {
    const auto anchor = std::find_if(study.runs.begin(), study.runs.end(), [order](const StudyRun& run) {
      return Drawn(run) && Info(run.method).order == order;
    });
    if (anchor == study.runs.end()) continue;
    const double n_end = n_high;
    const double e_start = anchor->error * 4;
    const double e_end = e_start * std::pow(anchor->N / n_end, order);
    p.setPen(QPen(QColor(110, 110, 110), 1.2, Qt::DashLine));
    const QPointF a = at(anchor->N, e_start), b = at(n_end, e_end);
    p.drawLine(a, b);
    // The label where the line is still well inside the chart.
    const double t = std::clamp((area.bottom() - 40 - a.y()) / std::max(b.y() - a.y(), 1e-9), 0.15, 0.85);
    const QPointF label = a + (b - a) * t * 0.5;
    p.drawText(label + QPointF(6, -6), QStringLiteral("order %1").arg(order));
  }
  // The methods: lines through the points, markers hollow at the floor.
  for (std::size_t m = 0; m < kMethodCount; ++m) {
    const Method method = MethodTable()[m].method;
    QPainterPath path;
    bool started = false;
    for (const StudyRun& run : study.runs) {
      if (run.method != method || !Drawn(run)) continue;
      if (started) {
        path.lineTo(at(run.N, run.error));
      } else {
        path.moveTo(at(run.N, run.error));
        started = true;
      }
    }
    p.setPen(QPen(kColours[m], 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    for (const StudyRun& run : study.runs)
      if (run.method == method && Drawn(run))
        DrawMarker(p, kMarkers[m], at(run.N, run.error), kColours[m], run.status == StudyRun::Status::AtFloor);
  }
  p.restore();
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(area);

  // The legend, with each method's observed order.
  double y = area.top() + 8;
  for (std::size_t m = 0; m < kMethodCount; ++m) {
    const Method method = MethodTable()[m].method;
    if (std::none_of(study.runs.begin(), study.runs.end(), [&](const StudyRun& r) { return r.method == method; }))
      continue;
    const double left = area.right() + 18;
    p.setPen(QPen(kColours[m], 1.6));
    p.drawLine(QPointF(left, y), QPointF(left + 28, y));
    DrawMarker(p, kMarkers[m], QPointF(left + 14, y), kColours[m], false);
    const std::optional<double> order = TypicalOrder(study, method);
    p.setPen(Qt::black);
    p.drawText(QPointF(left + 38, y + 4), QString::fromUtf8(Info(method).result_name.data(),
                                                            static_cast<qsizetype>(Info(method).result_name.size())));
    p.setPen(QColor(70, 70, 70));
    p.drawText(QPointF(left + 38, y + 20), order ? QStringLiteral("observed order %1").arg(*order, 0, 'f', 2)
                                                 : QStringLiteral("no order measured"));
    y += 42;
  }
  p.setPen(QColor(70, 70, 70));
  p.drawText(QRectF(area.right() + 18, y, 250, 60), Qt::TextWordWrap,
             QStringLiteral("Hollow markers: errors at the floor, where no order is measured."));
}

std::string SaveStudyChart(const Study& study, const std::string& path) {
  // Drawn into memory first: Qt's SVG generator does not report a failed
  // write, and the checked writer puts the whole file in place or nothing.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const bool svg = path.size() >= 4 && QString::fromStdString(path.substr(path.size() - 4)).toLower() == ".svg";
  bool drawn = true;
  if (svg) {
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(kChartWidth, kChartHeight));
    generator.setViewBox(QRect(0, 0, kChartWidth, kChartHeight));
    generator.setTitle(QStringLiteral("Kavrin convergence study"));
    QPainter painter;
    drawn = painter.begin(&generator);
    if (drawn) DrawStudyChart(painter, study);
    drawn = painter.end() && drawn;
  } else {
    QImage image(kChartWidth, kChartHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawStudyChart(painter, study);
    painter.end();
    drawn = image.save(&buffer, "PNG");
  }
  if (!drawn) return "cannot write " + path + ": the chart could not be drawn";
  return WriteOutput(path, [&bytes](const OutputSink& sink) {
    return sink(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  });
}

}  // namespace kavrin
