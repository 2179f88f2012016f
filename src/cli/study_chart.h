#pragma once

#include <string>

class QPainter;

namespace kavrin {

struct Study;

// The chart's size in pixels (and the SVG's view box).
inline constexpr int kChartWidth = 900;
inline constexpr int kChartHeight = 600;

// Draws the study on a log-log chart: each method's error against N in its
// own colour and marker (hollow at the floor), dashed guide slopes for orders
// 1, 2, 4 and 5, the floor of round-off and reference as a band, decades
// labelled, and a legend with each method's observed order.
void DrawStudyChart(QPainter& painter, const Study& study);

// Writes the chart to a .svg or .png file (by the name's ending) through the
// checked writer, whole or not at all; returns an empty text or the report of
// what went wrong. Needs a QGuiApplication.
std::string SaveStudyChart(const Study& study, const std::string& path);

}  // namespace kavrin
