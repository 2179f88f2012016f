#pragma once

#include "core/study.h"
#include "plot/chart.h"

namespace kavrin {

// The size of a saved study chart, whichever face saves it, and the title
// its SVG carries.
inline constexpr ChartSize kSavedChartSize{900, 600};
inline constexpr char kStudyChartTitle[] = "Kavrin convergence study";

// The size of a study chart in `available_width` pixels: 320 to 900 wide;
// below 640 the legend and the note go under the frame, and the chart is
// taller for them.
ChartSize StudyChartSize(int available_width);

// The convergence study as a chart: each method's error against N (or the
// work, or the time) on logarithmic scales, in its colour and marker (hollow
// at the floor), the floor of round-off and the reference's error as a band
// with its label, decade ticks with labels thinned so that none overlap,
// dashed guide slopes of orders 1, 2, 4 and 5 clipped to the frame with
// labels placed where they overlap nothing, axis titles and a legend with
// each method's observed order (beside the frame, or below it when the
// chart is narrow).
Chart StudyChart(const Study& study, ChartSize size, const TextWidth& measure);

}  // namespace kavrin
