#pragma once

#include <QByteArray>
#include <optional>
#include <string>

#include "core/failure.h"
#include "plot/chart.h"

class QPainter;

namespace kavrin {

// The width of a text in the chart's font at a size in pixels, as QPainter
// draws it; the chart model is laid out with it. Needs a QGuiApplication.
TextWidth PainterTextWidth(const std::string& family);

// Draws the chart's shapes, in order, at the painter's origin.
void PaintChart(QPainter& painter, const Chart& chart);

// The chart as SVG (its fonts named so that any renderer falls back to a
// sans-serif one), and as PNG at `pixel_ratio` device pixels per pixel.
QByteArray ChartSvg(const Chart& chart, const QString& title);
QByteArray ChartPng(const Chart& chart, double pixel_ratio = 1);

// Writes the chart as SVG or as PNG (at `pixel_ratio`) through the checked
// writer, whole or not at all; the failure, if any, names the file.
std::optional<Failure> SaveChart(const Chart& chart, const std::string& path, const QString& title, bool svg,
                                 double pixel_ratio = 1);

}  // namespace kavrin
